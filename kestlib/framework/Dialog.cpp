#include "kestlib/framework/Dialog.h"

#include "kestlib/framework/WinApp.h"
#include "kestlib/ui/MessageFont.h"

#include <utility>

namespace kestlib {

namespace {

HINSTANCE ApplicationInstance() {
  CWinApp* app = AfxGetApp();
  return app && app->Instance() ? app->Instance() : GetModuleHandleW(nullptr);
}

// These messages return their result from the dialog procedure itself
// rather than through DWLP_MSGRESULT.
bool ReturnsDirectly(UINT message) {
  return (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) || message == WM_COMPAREITEM ||
         message == WM_VKEYTOITEM || message == WM_CHARTOITEM || message == WM_QUERYDRAGICON ||
         message == WM_INITDIALOG;
}

}  // namespace

CDialog::CDialog(UINT templateId, HWND parent) : m_templateId(templateId), m_parent(parent) {}

CDialog::CDialog(std::vector<std::uint8_t> dialogTemplate, HWND parent)
    : m_template(std::move(dialogTemplate)), m_parent(parent) {}

CDialog::~CDialog() {
  if (m_hWnd) {
    // The object is half gone: its window must not reach it any more.
    SetWindowLongPtrW(m_hWnd, DWLP_USER, 0);
    DestroyWindow(m_hWnd);
  }
}

std::vector<std::uint8_t> CDialog::PrepareTemplate() const {
  if (!m_template.empty()) return WithMessageFont(m_template.data(), m_template.size());
  HINSTANCE instance = ApplicationInstance();
  HRSRC info = FindResourceW(instance, MAKEINTRESOURCEW(m_templateId), RT_DIALOG);
  HGLOBAL loaded = info ? LoadResource(instance, info) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return {};
  return WithMessageFont(static_cast<const std::uint8_t*>(data), SizeofResource(instance, info));
}

INT_PTR CDialog::DoModal() {
  const std::vector<std::uint8_t> dialogTemplate = PrepareTemplate();
  if (dialogTemplate.empty() || m_hWnd) return -1;
  m_modal = true;
  m_ended = false;
  const INT_PTR result = DialogBoxIndirectParamW(
      ApplicationInstance(), reinterpret_cast<const DLGTEMPLATE*>(dialogTemplate.data()), m_parent,
      &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
  m_modal = false;
  return result;
}

bool CDialog::Create() {
  const std::vector<std::uint8_t> dialogTemplate = PrepareTemplate();
  if (dialogTemplate.empty() || m_hWnd) return false;
  m_modal = false;
  m_ended = false;
  m_result = -1;
  // The system copies the template; ours may go when this returns.
  return CreateDialogIndirectParamW(ApplicationInstance(),
                                    reinterpret_cast<const DLGTEMPLATE*>(dialogTemplate.data()), m_parent,
                                    &CDialog::DialogProc, reinterpret_cast<LPARAM>(this)) != nullptr;
}

INT_PTR CDialog::RunModalLoop() {
  MSG message;
  while (m_hWnd && !m_ended) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == -1) return -1;
    if (got == 0) {
      // Leave WM_QUIT for the loop further out.
      PostQuitMessage(static_cast<int>(message.wParam));
      return -1;
    }
    if (!IsDialogMessageW(m_hWnd, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  return m_ended ? m_result : -1;
}

void CDialog::EndDialog(INT_PTR code) {
  if (!m_hWnd) return;
  if (m_modal) {
    ::EndDialog(m_hWnd, code);
    return;
  }
  m_ended = true;
  m_result = code;
  DestroyWindow(m_hWnd);
}

RECT CDialog::GetDlgItemRect(HWND control) const {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

bool CDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM, LRESULT&) {
  if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return false;
  switch (LOWORD(wParam)) {
    case IDOK:
      OnOK();
      return true;
    case IDCANCEL:
      OnCancel();
      return true;
    default:
      return false;
  }
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    dialog->m_hWnd = window;
    return dialog->OnInitDialog();
  }
  auto* dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrW(window, DWLP_USER));
  if (!dialog) return FALSE;
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, DWLP_USER, 0);
    dialog->m_hWnd = nullptr;
    return FALSE;
  }
  LRESULT result = 0;
  if (!dialog->HandleMessage(message, wParam, lParam, result)) return FALSE;
  if (ReturnsDirectly(message)) return static_cast<INT_PTR>(result);
  SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
  return TRUE;
}

}  // namespace kestlib
