#include "kestlib/ui/BigMessageBox.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <cwctype>
#include <utility>

#include "core/ui/MessageBoxMetrics.h"
#include "core/ui/RtfText.h"
#include "core/ui/StandardButtons.h"
#include "kestlib/DesktopShell.h"
#include "kestlib/ErrorText.h"
#include "kestlib/framework/WinApp.h"

namespace kestlib {

namespace {

constexpr UINT kFlashMessage = WM_APP + 0x40;
constexpr LONG kTextLimit = 16777216;

// The box whose keys the filter looks at; a box shown from a box keeps the
// outer one to give back.
thread_local CBigMessageBox* g_activeBox = nullptr;

void AppendWord(std::vector<std::uint8_t>& out, WORD value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void AppendDword(std::vector<std::uint8_t>& out, DWORD value) {
  AppendWord(out, LOWORD(value));
  AppendWord(out, HIWORD(value));
}

// A template without items: the controls follow the text.
std::vector<std::uint8_t> BoxTemplate(bool appWindow) {
  std::vector<std::uint8_t> bytes;
  AppendDword(bytes, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | DS_MODALFRAME | WS_CLIPCHILDREN | DS_CENTER |
                         DS_SETFONT);
  AppendDword(bytes, appWindow ? WS_EX_APPWINDOW : 0);
  AppendWord(bytes, 0);  // items
  for (WORD value : {0, 0, 400, 300}) AppendWord(bytes, value);
  AppendWord(bytes, 0);  // menu
  AppendWord(bytes, 0);  // class
  AppendWord(bytes, 0);  // title
  AppendWord(bytes, 8);
  for (wchar_t unit : std::wstring(L"MS Shell Dlg")) AppendWord(bytes, static_cast<WORD>(unit));
  AppendWord(bytes, 0);
  return bytes;
}

std::wstring AppName() {
  const CWinApp* app = AfxGetApp();
  return app ? app->AppName() : std::wstring();
}

const wchar_t* SystemIconName(std::uint32_t kind) {
  switch (kind) {
    case IconInformation:
      return IDI_INFORMATION;
    case IconWarning:
      return IDI_WARNING;
    case IconError:
      return IDI_ERROR;
    case IconQuestion:
      return IDI_QUESTION;
    default:
      return nullptr;
  }
}

using LoadIconWithScaleDownFn = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);

HICON LoadSystemIcon(const wchar_t* name, int size) {
  HMODULE comctl = GetModuleHandleW(L"comctl32.dll");
  const auto scaleDown = comctl ? reinterpret_cast<LoadIconWithScaleDownFn>(reinterpret_cast<void*>(
                                      GetProcAddress(comctl, "LoadIconWithScaleDown")))
                                : nullptr;
  HICON icon = nullptr;
  if (scaleDown && SUCCEEDED(scaleDown(nullptr, name, size, size, &icon))) return icon;
  return static_cast<HICON>(LoadImageW(nullptr, name, IMAGE_ICON, size, size, 0));
}

bool BeginsWith(const std::wstring& text, const wchar_t* prefix) {
  const std::size_t length = wcslen(prefix);
  return text.size() >= length && _wcsnicmp(text.c_str(), prefix, length) == 0;
}

}  // namespace

CBigMessageBox::CBigMessageBox(HWND parent, const wchar_t* caption, const wchar_t* mainInstruction,
                               const wchar_t* content, std::uint32_t icon, std::uint32_t options)
    : CVistaDialog(BoxTemplate((options & AppWindow) != 0), parent),
      m_caption(caption ? caption : L""),
      m_mainInstruction(mainInstruction ? mainInstruction : L""),
      m_content(content ? content : L""),
      m_iconKind(icon),
      m_options(options) {}

void CBigMessageBox::AddButton(int id, const std::wstring& label, bool isDefault) {
  m_buttons.push_back({id, label, isDefault});
}

int CBigMessageBox::Run() {
  m_outerBox = g_activeBox;
  g_activeBox = this;
  // The dialog's own loop passes every message through the filter hook:
  // the only place to see Ctrl+C while a button has the focus.
  m_keyFilter.reset(SetWindowsHookExW(WH_MSGFILTER, &CBigMessageBox::KeyFilter, nullptr, GetCurrentThreadId()));
  const INT_PTR result = DoModal();
  m_keyFilter.reset();
  g_activeBox = m_outerBox;
  return static_cast<int>(result);
}

BOOL CBigMessageBox::OnInitDialog() {
  CVistaDialog::OnInitDialog();
  int dpi = 96;
  if (HDC dc = GetDC(m_hWnd)) {
    dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(m_hWnd, dc);
  }
  const MessageBoxMetrics metrics(dpi);
  SetWindowTextW(m_hWnd, (m_caption.empty() ? AppName() : m_caption).c_str());
  if (SystemIconName(m_iconKind)) CreateIcon(metrics.iconSize);
  if (m_buttons.empty()) AddButton(IDOK, L"OK", true);
  Layout(metrics);
  // No button flagged default: the first is.
  auto defaultButton = std::find_if(m_buttons.rbegin(), m_buttons.rend(), [](const Button& b) { return b.isDefault; });
  const int defaultId = defaultButton != m_buttons.rend() ? defaultButton->id : m_buttons.front().id;
  SendMessageW(m_hWnd, DM_SETDEFID, static_cast<WPARAM>(defaultId), 0);
  SetFocus(GetDlgItem(defaultId));
  return FALSE;
}

void CBigMessageBox::CreateIcon(int size) {
  m_icon.reset(LoadSystemIcon(SystemIconName(m_iconKind), size));
  if (!m_icon) return;
  HWND control = CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_ICON | SS_REALSIZECONTROL, 0, 0,
                                 size, size, m_hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IconId)),
                                 GetModuleHandleW(nullptr), nullptr);
  SendMessageW(control, STM_SETICON, reinterpret_cast<WPARAM>(m_icon.get()), 0);
}

int CBigMessageBox::ButtonWidth(const std::wstring& label, const MessageBoxMetrics& metrics) const {
  RECT extent{};
  if (HDC dc = GetDC(m_hWnd)) {
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(m_hWnd, WM_GETFONT, 0, 0)));
    DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &extent, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(dc, old);
    ReleaseDC(m_hWnd, dc);
  }
  return std::max(metrics.minButtonWidth, static_cast<int>(extent.right - extent.left) + 2 * metrics.labelSpace);
}

void CBigMessageBox::Layout(const MessageBoxMetrics& m) {
  const HFONT font = reinterpret_cast<HFONT>(SendMessageW(m_hWnd, WM_GETFONT, 0, 0));
  const RECT maxRect{0, 0, m.maxTextWidth, m.maxTextHeight};
  // Without the control the box still comes up at its smallest, with its
  // buttons: every call below then goes to no window and does nothing.
  m_text.Create(m_hWnd, TextId,
                WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY, maxRect);
  HWND text = m_text.GetSafeHwnd();
  SendMessageW(text, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  SendMessageW(text, EM_SETBKGNDCOLOR, 0, GetSysColor(COLOR_WINDOW));
  SendMessageW(text, EM_AUTOURLDETECT, (m_options & NoAutoUrl) ? FALSE : TRUE, 0);
  SendMessageW(text, EM_EXLIMITTEXT, 0, kTextLimit);
  m_rightMargin = m.hMargin;
  m_text.SetRightMargin(m_rightMargin);
  m_text.SetRtf(BuildRtfDocument(m_mainInstruction, m_content));

  m_text.SetWordWrap(false);
  SIZE wished = m_text.WishedSize();
  m_text.SetWordWrap(true);
  if (wished.cx > m.maxTextWidth) wished = m_text.WishedSize();
  int textWidth = std::min<int>(wished.cx, m.maxTextWidth);
  int textHeight = wished.cy;
  if (wished.cy > m.maxTextHeight) {
    if (!(m_options & FixedSize)) {
      textHeight = m.maxTextHeight;
      m_scrolling = true;
    }
    textWidth += GetSystemMetrics(SM_CXVSCROLL);
  }
  textHeight = std::max(textHeight, m.minTextHeight);
  if (m_icon) textHeight = std::max(textHeight, m.iconSize);

  std::vector<int> widths;
  int row = 0;
  for (const Button& button : m_buttons) {
    widths.push_back(ButtonWidth(button.label, m));
    row += widths.back() + (widths.size() > 1 ? m.buttonGap : 0);
  }
  const int iconOffset = m_icon ? m.iconSize + m.hMargin : 0;
  if (m_icon) SetWindowPos(GetDlgItem(IconId), nullptr, m.hMargin, m.vMargin, m.iconSize, m.iconSize, SWP_NOZORDER);
  int clientWidth = m.hMargin + iconOffset + textWidth;
  const int raised = std::max({clientWidth, row + 2 * m.hMargin, m.minClientWidth});
  textWidth += raised - clientWidth;
  clientWidth = raised;
  const int footer = m.separator + m.buttonHeight + 2 * m.vMargin;
  SetFooterHeight(footer);
  const int clientHeight = 2 * m.vMargin + textHeight + footer;
  SetWindowPos(text, nullptr, m.hMargin + iconOffset, m.vMargin, textWidth, textHeight, SWP_NOZORDER);

  int right = clientWidth - m.hMargin;
  std::vector<HWND> buttons(m_buttons.size());
  for (std::size_t i = m_buttons.size(); i-- > 0;) {
    right -= widths[i];
    const Button& button = m_buttons[i];
    buttons[i] = CreateWindowExW(0, L"BUTTON", button.label.c_str(),
                                 WS_CHILD | WS_VISIBLE | WS_TABSTOP | (button.isDefault ? BS_DEFPUSHBUTTON : 0),
                                 right, clientHeight - m.vMargin - m.buttonHeight, widths[i], m.buttonHeight, m_hWnd,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(button.id)), GetModuleHandleW(nullptr),
                                 nullptr);
    SendMessageW(buttons[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    right -= m.buttonGap;
  }
  // Tab order follows the buttons left to right, after the text.
  for (HWND button : buttons) SetWindowPos(button, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  if (!m_scrolling || (m_options & FixedSize)) {
    SetWindowLongPtrW(m_hWnd, GWL_STYLE,
                      GetWindowLongPtrW(m_hWnd, GWL_STYLE) & ~static_cast<LONG_PTR>(WS_THICKFRAME | WS_MINIMIZEBOX |
                                                                                    WS_MAXIMIZEBOX));
    HMENU menu = GetSystemMenu(m_hWnd, FALSE);
    for (UINT command : {SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, SC_RESTORE}) DeleteMenu(menu, command, MF_BYCOMMAND);
    m_text.SetStaticMode(true);
    // The whole text fits; a control may still show a bar at the exact fit.
    SendMessageW(text, EM_SHOWSCROLLBAR, SB_VERT, FALSE);
  }
  if (m_options & NoClose) DeleteMenu(GetSystemMenu(m_hWnd, FALSE), SC_CLOSE, MF_BYCOMMAND);
  if (m_options & TopMost) SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  RECT frame{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(m_hWnd, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE)));
  const SIZE size{frame.right - frame.left, frame.bottom - frame.top};
  SetMinTrackSize(size);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(GetParent(m_hWnd) ? GetParent(m_hWnd) : m_hWnd, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& work = monitor.rcWork;
  SetWindowPos(m_hWnd, nullptr, work.left + (work.right - work.left - size.cx) / 2,
               work.top + (work.bottom - work.top - size.cy) / 2, size.cx, size.cy,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  if (m_scrolling && !(m_options & FixedSize)) {
    AddAnchor(text, AnchorTop | AnchorLeft | AnchorRight | AnchorBottom);
    for (HWND button : buttons) AddAnchor(button, AnchorRight | AnchorBottom);
  }
  SendMessageW(text, EM_SETSEL, 0, 0);
  SendMessageW(text, EM_SCROLLCARET, 0, 0);
  SendMessageW(text, EM_SETEVENTMASK, 0, SendMessageW(text, EM_GETEVENTMASK, 0, 0) | ENM_LINK);
}

void CBigMessageBox::OnCommand(int id, HWND from) {
  if (id == IDCANCEL) {
    const bool button = from && std::any_of(m_buttons.begin(), m_buttons.end(), [](const Button& b) { return b.id == IDCANCEL; });
    // Esc reaches us as the Cancel button's command too.
    if ((m_options & NoClose) && (!button || GetKeyState(VK_ESCAPE) < 0)) return;
    EndDialog(IDCANCEL);
    return;
  }
  if (std::any_of(m_buttons.begin(), m_buttons.end(), [id](const Button& b) { return b.id == id; })) EndDialog(id);
}

void CBigMessageBox::OnLinkClick(LONG first, LONG last) {
  const std::wstring range = m_text.TextRange(first, last);
  std::wstring target = m_text.OwnLinkTarget(first, last);
  std::wstring text;
  if (!target.empty()) {
    text = range;
  } else if (BeginsWith(range, L"HYPERLINK")) {
    const std::size_t open = range.find(L'"');
    const std::size_t close = open == std::wstring::npos ? open : range.find(L'"', open + 1);
    if (close == std::wstring::npos) return;
    target = range.substr(open + 1, close - open - 1);
    text = range.substr(close + 1);
  } else {
    text = range;
    target = BeginsWith(range, L"www.") ? L"http://" + range : range;
    target = target.substr(0, target.find_first_of(L" \t\n\r"));
  }
  if (target.empty()) return;
  try {
    if (BeginsWith(target, L"file:")) target = PathFromUrl(target);
    if (m_linkHandler && m_linkHandler(target, text)) return;
    HCURSOR old = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    ShellExecuteFromDesktop(target, std::nullopt, std::nullopt, std::nullopt, SW_SHOWNORMAL,
                            DesktopExecuteOptions::None);
    SetCursor(old);
  } catch (const std::exception&) {
    // The one plain box: a failure to open is no message of the run.
    MessageBoxW(m_hWnd, (target + L"\n\n" + ExceptionDescription(0)).c_str(), AppName().c_str(), MB_ICONERROR);
  }
}

void CBigMessageBox::Flash() {
  if (!(m_options & FlashOnShow) || GetForegroundWindow() == m_hWnd) return;
  HWND window = m_hWnd;
  for (; window; window = GetWindow(window, GW_OWNER)) {
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    const LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
    const bool ownButton =
        (exStyle & WS_EX_APPWINDOW) || (!GetWindow(window, GW_OWNER) && !(exStyle & WS_EX_TOOLWINDOW));
    if (IsWindowVisible(window) && !(style & WS_CHILD) && ownButton) break;
  }
  if (!window) return;
  DWORD count = 0;
  if (!SystemParametersInfoW(SPI_GETFOREGROUNDFLASHCOUNT, 0, &count, 0) || count == 0) count = 3;
  FLASHWINFO flash{sizeof(flash), window, FLASHW_ALL, count, 0};
  FlashWindowEx(&flash);
}

bool CBigMessageBox::OnCopyKey() {
  HWND text = m_text.GetSafeHwnd();
  if (!text || (!m_text.StaticMode() && GetFocus() == text) || m_text.HasSelection()) return false;
  m_text.CopyAll();
  return true;
}

LRESULT CALLBACK CBigMessageBox::KeyFilter(int code, WPARAM wParam, LPARAM lParam) {
  const auto* message = reinterpret_cast<const MSG*>(lParam);
  CBigMessageBox* box = g_activeBox;
  if (code == MSGF_DIALOGBOX && box && box->m_hWnd && message->message == WM_KEYDOWN && message->wParam == 'C' &&
      GetKeyState(VK_CONTROL) < 0 && (message->hwnd == box->m_hWnd || IsChild(box->m_hWnd, message->hwnd)) &&
      box->OnCopyKey())
    return TRUE;
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool CBigMessageBox::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) break;
      OnCommand(LOWORD(wParam), reinterpret_cast<HWND>(lParam));
      return true;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->hwndFrom != m_text.GetSafeHwnd()) break;
      if (header->code == EN_REQUESTRESIZE) {
        m_text.OnRequestResize(reinterpret_cast<const REQRESIZE*>(lParam)->rc);
        return true;
      }
      if (header->code == EN_LINK) {
        const auto* link = reinterpret_cast<const ENLINK*>(lParam);
        if (link->msg == WM_LBUTTONUP) OnLinkClick(link->chrg.cpMin, link->chrg.cpMax);
        return true;
      }
      break;
    }
    case WM_SHOWWINDOW:
      if (wParam && !m_shown) {
        m_shown = true;
        PostMessageW(m_hWnd, kFlashMessage, 0, 0);
      }
      break;
    case kFlashMessage:
      Flash();
      return true;
    case WM_SIZE:
      if (m_scrolling && m_text.GetSafeHwnd() && (wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED))
        m_text.SetRightMargin(m_rightMargin);
      break;
    case WM_THEMECHANGED:
    case WM_SYSCOLORCHANGE:
      if (m_text.GetSafeHwnd()) {
        SendMessageW(m_text.GetSafeHwnd(), EM_SETBKGNDCOLOR, 0, GetSysColor(COLOR_WINDOW));
        InvalidateRect(m_text.GetSafeHwnd(), nullptr, TRUE);
      }
      if (HWND icon = GetDlgItem(IconId)) InvalidateRect(icon, nullptr, TRUE);
      break;
    default:
      break;
  }
  return CVistaDialog::HandleMessage(message, wParam, lParam, result);
}

int ShowStandardBox(HWND parent, const IStringResources& strings, const wchar_t* caption,
                    const wchar_t* mainInstruction, const wchar_t* content, UINT type, std::uint32_t options) {
  CBigMessageBox box(parent, caption, mainInstruction, content, StandardIcon(type), options);
  for (const StandardButton& button : StandardButtons(type))
    box.AddButton(button.id, strings.GetTextOr(button.labelId, button.labelId), button.isDefault);
  return box.Run();
}

}  // namespace kestlib
