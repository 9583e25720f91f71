#include "setup/extraction/ExtractQuestions.h"

#include <algorithm>
#include <system_error>

#include "setup/extraction/EnterPasswordDlg.h"
#include "kestlib/ErrorText.h"
#include "kestlib/Log.h"
#include "kestlib/ui/BigMessageBox.h"

namespace {
constexpr int kOverwriteAll = 1;
constexpr int kCancel = 2;

std::wstring LastComponent(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}
}  // namespace

bool AskOverwriteAll(HWND owner, const std::wstring& productName, const kestlib::IStringResources& strings,
                     const std::wstring& existingPath) {
  const std::error_code exists(ERROR_FILE_EXISTS, std::system_category());
  const std::wstring instruction = kestlib::ErrorCodeText(exists, std::system_category(), false);
  const std::wstring content =
      L"\"" + LastComponent(existingPath) + L"\"\n\n" + strings.GetText(L"OverwriteAllQuestion");
  kestlib::WriteLog(kestlib::Severity::Warning, L"Asking to overwrite '" + existingPath + L"'.");
  kestlib::CBigMessageBox box(owner, productName.c_str(), instruction.c_str(), content.c_str(), kestlib::IconWarning,
                              kestlib::CBigMessageBox::FlashOnShow);
  box.AddButton(kOverwriteAll, strings.GetText(L"OverwriteAllButton"), false);
  box.AddButton(kCancel, strings.GetText(L"Cancel"), true);
  const int answer = box.Run();
  kestlib::WriteLog(kestlib::Severity::Warning, L"Overwrite answer: " + std::to_wstring(answer));
  return answer == kOverwriteAll;
}

INT_PTR AskPassword(HWND owner, wchar_t* buffer, std::size_t size) {
  CEnterPasswordDlg dialog(owner);
  const INT_PTR result = dialog.DoModal();
  if (result != IDOK || size == 0) return result;
  const std::wstring& password = dialog.Password();
  const std::size_t length = std::min(password.size(), size - 1);
  std::copy_n(password.data(), length, buffer);
  buffer[length] = L'\0';
  return result;
}
