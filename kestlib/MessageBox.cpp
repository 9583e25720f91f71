#include "kestlib/MessageBox.h"

#include <string>

#include "kestlib/framework/WinApp.h"
#include "kestlib/ui/BigMessageBox.h"

namespace kestlib {
namespace {
constexpr int kSilent = 0;
constexpr int kNormal = 4;

// A box with no visible window of the thread behind it needs its own
// task-bar button, or the user may never find it.
bool ThreadHasVisibleMainWindow() {
  const CWinApp* app = AfxGetApp();
  HWND main = app ? app->MainWindow() : nullptr;
  return main && IsWindowVisible(main) && GetWindowThreadProcessId(main, nullptr) == GetCurrentThreadId();
}
}  // namespace

bool MessageBoxShown(int uiLevel, UINT type) {
  if (uiLevel == kSilent) return false;
  const UINT icon = type & MB_ICONMASK;
  return uiLevel == kNormal || icon == MB_ICONERROR || icon == MB_ICONWARNING;
}

Severity MessageSeverity(UINT type) {
  switch (type & MB_ICONMASK) {
    case MB_ICONERROR:
      return Severity::Error;
    case MB_ICONWARNING:
      return Severity::Warning;
    default:
      return Severity::Debug;
  }
}

int ShowMessageBox(const wchar_t* text, UINT type, UINT /*helpId*/, int uiLevel, const IStringResources& strings) {
  const Severity severity = MessageSeverity(type);
  WriteLog(severity, L"MessageBox: text='" + std::wstring(text ? text : L"") + L"', type=" + std::to_wstring(type));
  if (uiLevel == kSilent) {
    WriteLog(severity, L"Skipping MessageBox because UiLevel is Silent.");
    return 0;
  }
  if (!MessageBoxShown(uiLevel, type)) {
    WriteLog(severity, L"Skipping MessageBox because UiLevel is not Normal and message is neither error nor warning.");
    return 0;
  }
  std::uint32_t options = CBigMessageBox::FlashOnShow | CBigMessageBox::FixedSize;
  if (!ThreadHasVisibleMainWindow()) options |= CBigMessageBox::AppWindow;
  const CWinApp* app = AfxGetApp();
  const std::wstring caption = app ? app->AppName() : std::wstring();
  const int answer = ShowStandardBox(nullptr, strings, caption.c_str(), nullptr, text, type, options);
  WriteLog(severity, L"MessageBox return value: " + std::to_wstring(answer));
  return answer;
}

}  // namespace kestlib
