#include "kestlib/ui/ResizeDlg.h"

#include <uxtheme.h>
#include <vssym32.h>

#include <string>

#include "kestlib/SystemInfo.h"

namespace kestlib {

namespace {

LayoutRect ToLayout(const RECT& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

LayoutRect ClientLayout(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return ToLayout(client);
}

UINT PositionFlags(std::uint32_t anchorFlags, bool redraw) {
  UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
  if (anchorFlags & NoCopyBits) flags |= SWP_NOCOPYBITS;
  if (!redraw) flags |= SWP_NOREDRAW;
  return flags;
}

using OpenThemeDataFn = HTHEME(WINAPI*)(HWND, LPCWSTR);
using CloseThemeDataFn = HRESULT(WINAPI*)(HTHEME);
using DrawThemeBackgroundFn = HRESULT(WINAPI*)(HTHEME, HDC, int, int, LPCRECT, LPCRECT);

template <typename Fn>
Fn ThemeFunction(HMODULE uxtheme, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(uxtheme, name)));
}

}  // namespace

BOOL CResizeDlg::OnInitDialog() {
  const BOOL result = CDialog::OnInitDialog();
  InitLayout();
  return result;
}

void CResizeDlg::InitLayout() {
  UpdateSizeGrip();
  GetClientRect(m_hWnd, &m_gripClient);
  m_anchors.clear();
}

bool CResizeDlg::AddAnchor(int controlId, std::uint32_t flags) { return AddAnchor(GetDlgItem(controlId), flags); }

bool CResizeDlg::AddAnchor(HWND control, std::uint32_t flags) {
  if (!control || !IsWindow(control)) return false;
  m_anchors.push_back({control, flags, ToLayout(GetDlgItemRect(control)), ClientLayout(m_hWnd)});
  return true;
}

void CResizeDlg::ArrangeAnchors(bool redraw) {
  const LayoutRect client = ClientLayout(m_hWnd);
  HDWP batch = BeginDeferWindowPos(static_cast<int>(m_anchors.size()));
  for (const Anchor& anchor : m_anchors) {
    const LayoutRect to = ArrangeAnchored(anchor.rect, anchor.flags, anchor.client, client);
    const UINT flags = PositionFlags(anchor.flags, redraw);
    if (batch) batch = DeferWindowPos(batch, anchor.control, nullptr, to.left, to.top, to.Width(), to.Height(), flags);
    // A failed batch is gone: the rest move one by one.
    if (!batch) SetWindowPos(anchor.control, nullptr, to.left, to.top, to.Width(), to.Height(), flags);
  }
  if (batch) EndDeferWindowPos(batch);
}

void CResizeDlg::UpdateSizeGrip() {
  const LONG_PTR style = GetWindowLongPtrW(m_hWnd, GWL_STYLE);
  m_sizeGrip = (style & WS_THICKFRAME) && !(style & WS_CHILD) && !IsZoomed(m_hWnd);
}

RECT CResizeDlg::GripRect(const RECT& client) const {
  return {client.right - GetSystemMetrics(SM_CXVSCROLL), client.bottom - GetSystemMetrics(SM_CYHSCROLL),
          client.right, client.bottom};
}

void CResizeDlg::OnSize(WPARAM type) {
  if (type != SIZE_RESTORED && type != SIZE_MAXIMIZED) return;
  // A maximised dialog cannot be sized by its corner.
  UpdateSizeGrip();
  ArrangeAnchors(true);
  const RECT oldGrip = GripRect(m_gripClient);
  InvalidateRect(m_hWnd, &oldGrip, TRUE);
  GetClientRect(m_hWnd, &m_gripClient);
  const RECT newGrip = GripRect(m_gripClient);
  InvalidateRect(m_hWnd, &newGrip, TRUE);
}

bool CResizeDlg::DrawThemedSizeGrip(HDC dc, const RECT& grip) {
  if (!m_uxthemeTried) {
    m_uxthemeTried = true;
    m_uxtheme = LoadSystemLibrary(L"uxtheme.dll");
  }
  if (!m_uxtheme) return false;
  const auto open = ThemeFunction<OpenThemeDataFn>(m_uxtheme.get(), "OpenThemeData");
  const auto close = ThemeFunction<CloseThemeDataFn>(m_uxtheme.get(), "CloseThemeData");
  const auto draw = ThemeFunction<DrawThemeBackgroundFn>(m_uxtheme.get(), "DrawThemeBackground");
  if (!open || !close || !draw) return false;
  // Null without visual styles.
  HTHEME theme = open(m_hWnd, L"SCROLLBAR");
  if (!theme) return false;
  const bool drawn = SUCCEEDED(draw(theme, dc, SBP_SIZEBOX, SZB_RIGHTALIGN, &grip, nullptr));
  close(theme);
  return drawn;
}

void CResizeDlg::DrawSizeGrip(HDC dc) {
  if (!m_sizeGrip) return;
  RECT client{};
  GetClientRect(m_hWnd, &client);
  RECT grip = GripRect(client);
  if (!DrawThemedSizeGrip(dc, grip)) DrawFrameControl(dc, &grip, DFC_SCROLL, DFCS_SCROLLSIZEGRIP);
}

bool CResizeDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_SIZE:
      OnSize(wParam);
      result = 0;
      return true;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      // Unset limits leave the system's own.
      if (m_minTrack.cx > 0) info->ptMinTrackSize.x = m_minTrack.cx;
      if (m_minTrack.cy > 0) info->ptMinTrackSize.y = m_minTrack.cy;
      if (m_maxTrack.cx < INT_MAX) info->ptMaxTrackSize.x = m_maxTrack.cx;
      if (m_maxTrack.cy < INT_MAX) info->ptMaxTrackSize.y = m_maxTrack.cy;
      result = 0;
      return true;
    }
    case WM_NCHITTEST: {
      if (!m_sizeGrip) break;
      POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      ScreenToClient(m_hWnd, &point);
      RECT client{};
      GetClientRect(m_hWnd, &client);
      const RECT grip = GripRect(client);
      if (!PtInRect(&grip, point)) break;
      result = HTBOTTOMRIGHT;
      return true;
    }
    case WM_ERASEBKGND: {
      // The dialog's usual background with the grip on top.
      RECT client{};
      GetClientRect(m_hWnd, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNFACE));
      DrawSizeGrip(reinterpret_cast<HDC>(wParam));
      result = 1;
      return true;
    }
    default:
      break;
  }
  return CDialog::HandleMessage(message, wParam, lParam, result);
}

}  // namespace kestlib
