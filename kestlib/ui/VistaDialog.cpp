#include "kestlib/ui/VistaDialog.h"

#include "core/ui/DialogLayout.h"

#include <algorithm>
#include <utility>

namespace kestlib {

namespace {

constexpr int kDefaultFooterDialogUnits = 29;

// The separator line grows with the DPI scale: 1 pixel at 96 DPI.
int SeparatorThickness(HDC dc) { return std::max(1, (GetDeviceCaps(dc, LOGPIXELSY) + 48) / 96); }

}  // namespace

CVistaDialog::CVistaDialog(UINT templateId, HWND parent)
    : CResizeDlg(templateId, parent), m_colors(DefaultColors()), m_defaults(m_colors) {
  ApplyColors(m_colors);
}

CVistaDialog::CVistaDialog(std::vector<std::uint8_t> dialogTemplate, HWND parent)
    : CResizeDlg(std::move(dialogTemplate), parent), m_colors(DefaultColors()), m_defaults(m_colors) {
  ApplyColors(m_colors);
}

CVistaDialog::Colors CVistaDialog::DefaultColors() {
  const COLORREF content = GetSysColor(COLOR_WINDOW);
  const COLORREF footer = GetSysColor(COLOR_BTNFACE);
  return {content, footer, SeparatorColor(content, footer)};
}

void CVistaDialog::ApplyColors(const Colors& colors) {
  m_colors = colors;
  m_contentBrush.reset(CreateSolidBrush(colors.content));
  m_footerBrush.reset(CreateSolidBrush(colors.footer));
  m_separatorBrush.reset(CreateSolidBrush(colors.separator));
  if (m_hWnd) InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CVistaDialog::SetContentColor(COLORREF color) {
  Colors colors = m_colors;
  colors.content = color;
  ApplyColors(colors);
}

void CVistaDialog::SetFooterColor(COLORREF color) {
  Colors colors = m_colors;
  colors.footer = color;
  ApplyColors(colors);
}

void CVistaDialog::SetSeparatorColor(COLORREF color) {
  Colors colors = m_colors;
  colors.separator = color;
  ApplyColors(colors);
}

void CVistaDialog::OnSystemColorsChanged() {
  const Colors defaults = DefaultColors();
  Colors colors = m_colors;
  if (colors.content == m_defaults.content) colors.content = defaults.content;
  if (colors.footer == m_defaults.footer) colors.footer = defaults.footer;
  if (colors.separator == m_defaults.separator) colors.separator = defaults.separator;
  m_defaults = defaults;
  ApplyColors(colors);
}

void CVistaDialog::SetFooterHeight(int pixels) {
  if (pixels == m_footerHeight) return;
  m_footerHeight = pixels;
  if (m_hWnd) InvalidateRect(m_hWnd, nullptr, TRUE);
}

int CVistaDialog::FooterHeight() const {
  if (m_footerHeight >= 0) return m_footerHeight;
  RECT units{0, 0, 0, kDefaultFooterDialogUnits};
  return m_hWnd && MapDialogRect(m_hWnd, &units) ? units.bottom : 0;
}

RECT CVistaDialog::ContentRect() const {
  RECT rect{};
  GetClientRect(m_hWnd, &rect);
  rect.bottom = std::max(rect.top, rect.bottom - FooterHeight());
  return rect;
}

RECT CVistaDialog::FooterRect() const {
  RECT rect{};
  GetClientRect(m_hWnd, &rect);
  rect.top = ContentRect().bottom;
  return rect;
}

BOOL CVistaDialog::OnInitDialog() {
  OnInitDialogHook();
  return CResizeDlg::OnInitDialog();
}

void CVistaDialog::PaintBackground(HDC dc) {
  const RECT content = ContentRect();
  FillRect(dc, &content, m_contentBrush.get());
  RECT band = FooterRect();
  band.bottom = std::min(band.bottom, band.top + SeparatorThickness(dc));
  FillRect(dc, &band, m_separatorBrush.get());
  RECT footer = FooterRect();
  footer.top = band.bottom;
  FillRect(dc, &footer, m_footerBrush.get());
  DrawSizeGrip(dc);
}

LRESULT CVistaDialog::OnCtlColor(HDC dc, HWND control) {
  const bool inContent = GetDlgItemRect(control).top < ContentRect().bottom;
  SetBkColor(dc, inContent ? m_colors.content : m_colors.footer);
  return reinterpret_cast<LRESULT>(inContent ? m_contentBrush.get() : m_footerBrush.get());
}

bool CVistaDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_ERASEBKGND:
      PaintBackground(reinterpret_cast<HDC>(wParam));
      result = 1;
      return true;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      result = OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
      return true;
    case WM_SIZE: {
      const bool handled = CResizeDlg::HandleMessage(message, wParam, lParam, result);
      // The footer and separator move with the bottom edge.
      InvalidateRect(m_hWnd, nullptr, TRUE);
      return handled;
    }
    case WM_THEMECHANGED:
    case WM_SYSCOLORCHANGE:
      // The system's own handling goes on after ours.
      OnSystemColorsChanged();
      break;
    default:
      break;
  }
  return CResizeDlg::HandleMessage(message, wParam, lParam, result);
}

}  // namespace kestlib
