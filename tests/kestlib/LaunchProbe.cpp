// A program for the launch tests: writes where it started and what it was
// given to the file named by LAUNCHPROBE_REPORT, as UTF-16 lines (current
// folder, full command line, then each argument), and exits with the code in
// LAUNCHPROBE_EXIT (0 without it).
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <string>

namespace {

std::wstring Variable(const wchar_t* name) {
  wchar_t value[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
  return length < MAX_PATH ? std::wstring(value, length) : std::wstring();
}

std::wstring CurrentFolder() {
  wchar_t folder[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, folder);
  return folder;
}

std::wstring Report() {
  std::wstring text = CurrentFolder() + L"\n" + GetCommandLineW() + L"\n";
  int count = 0;
  if (wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count)) {
    for (int i = 1; i < count; ++i) text += std::wstring(arguments[i]) + L"\n";
    LocalFree(arguments);
  }
  return text;
}

}  // namespace

int main() {
  const std::wstring reportPath = Variable(L"LAUNCHPROBE_REPORT");
  if (!reportPath.empty()) {
    const HANDLE file = CreateFileW(reportPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 100;
    const std::wstring text = Report();
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
  }
  return std::wcstol(Variable(L"LAUNCHPROBE_EXIT").c_str(), nullptr, 10);
}
