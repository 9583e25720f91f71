#include "setup/extraction/EnterPasswordDlg.h"

namespace {
constexpr UINT kTemplate = 168;
constexpr int kPasswordEdit = 1009;
}  // namespace

CEnterPasswordDlg::CEnterPasswordDlg(HWND parent) : CDialog(kTemplate, parent) {}

BOOL CEnterPasswordDlg::OnInitDialog() {
  // The owner may be hidden; the question must still reach the user.
  SetForegroundWindow(m_hWnd);
  SetFocus(GetDlgItem(kPasswordEdit));
  return FALSE;
}

void CEnterPasswordDlg::OnOK() {
  HWND edit = GetDlgItem(kPasswordEdit);
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
  m_password = std::move(text);
  // The copy in the control is no longer needed.
  SetWindowTextW(edit, L"");
  EndDialog(IDOK);
}
