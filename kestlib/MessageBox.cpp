#include "kestlib/MessageBox.h"

#include "kestlib/framework/WinApp.h"

namespace kestlib {
namespace {
constexpr int kSilent = 0;
constexpr int kNormal = 4;
}  // namespace

bool MessageBoxShown(int uiLevel, UINT type) {
  if (uiLevel == kSilent) return false;
  const UINT icon = type & MB_ICONMASK;
  return uiLevel == kNormal || icon == MB_ICONERROR || icon == MB_ICONWARNING;
}

int ShowMessageBox(const wchar_t* text, UINT type, UINT /*helpId*/, int uiLevel) {
  if (!MessageBoxShown(uiLevel, type)) return 0;
  const CWinApp* app = AfxGetApp();
  return MessageBoxW(nullptr, text, app ? app->AppName().c_str() : L"", type);
}

}  // namespace kestlib
