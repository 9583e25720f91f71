#include "setup/language/UnzipLanguageDlg.h"

#include <utility>
#include <vector>

namespace {

constexpr UINT kTemplate = 145;
constexpr int kPrompt = 1007;
constexpr int kLanguages = 1006;
constexpr int kAppIcon = 128;

HICON LoadAppIcon(int width, int height) {
  return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kAppIcon), IMAGE_ICON, width,
                                       height, width == 0 ? LR_DEFAULTSIZE : 0));
}

}  // namespace

CUnzipLanguageDlg::CUnzipLanguageDlg(HWND parent, CultureNames names, std::wstring preselected,
                                     const kestlib::IStringResources& strings)
    : CVistaDialog(kTemplate, parent),
      m_names(std::move(names)),
      m_preselected(std::move(preselected)),
      m_strings(strings) {}

BOOL CUnzipLanguageDlg::OnInitDialog() {
  CVistaDialog::OnInitDialog();
  m_smallIcon.reset(LoadAppIcon(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON)));
  m_bigIcon.reset(LoadAppIcon(0, 0));
  SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon.get()));
  SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_bigIcon.get()));
  SetWindowTextW(m_hWnd, m_strings.GetText(L"LanguageSelectionTitle").c_str());
  SetDlgItemTextW(m_hWnd, kPrompt, m_strings.GetText(L"LanguageSelection").c_str());
  SetDlgItemTextW(m_hWnd, IDOK, m_strings.GetText(L"OK").c_str());
  SetDlgItemTextW(m_hWnd, IDCANCEL, m_strings.GetText(L"Cancel").c_str());

  const HWND combo = GetDlgItem(kLanguages);
  // The combo box sorts the names itself.
  for (const auto& [code, name] : m_names)
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  const auto preselected = m_names.find(m_preselected);
  const std::wstring name = preselected == m_names.end() ? std::wstring() : preselected->second;
  // A prefix search from the second item on, wrapping to the first.
  const LRESULT found = SendMessageW(combo, CB_FINDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  SendMessageW(combo, CB_SETCURSEL, found == CB_ERR ? 0 : found, 0);
  SetFocus(combo);
  return FALSE;
}

void CUnzipLanguageDlg::OnOK() {
  const HWND combo = GetDlgItem(kLanguages);
  std::vector<wchar_t> text(static_cast<std::size_t>(GetWindowTextLengthW(combo)) + 1);
  GetWindowTextW(combo, text.data(), static_cast<int>(text.size()));
  m_selected.clear();
  for (const auto& [code, name] : m_names) {
    if (name == text.data()) {
      m_selected = code;
      break;
    }
  }
  CVistaDialog::OnOK();
}
