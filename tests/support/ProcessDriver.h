// Starts a program and drives its windows from outside, the way a user
// would: find its top-level windows, read their texts, press buttons.
// Every wait has a time limit, and a program still running at the end is
// ended, so no test can hang on a window nobody answers.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "TimeLimit.h"
#include "kestlib/Holders.h"

namespace testsupport {

class ProcessDriver {
 public:
  // commandLine is passed to CreateProcessW as it stands.
  explicit ProcessDriver(const std::wstring& commandLine, const std::wstring& workingDir = L"");
  ~ProcessDriver();
  ProcessDriver(const ProcessDriver&) = delete;
  ProcessDriver& operator=(const ProcessDriver&) = delete;

  bool started() const { return static_cast<bool>(m_process); }
  // True when the program ended within the time.
  bool WaitForExit(DWORD milliseconds);
  DWORD ExitCode() const;
  // The first visible top-level window of the program, or null.
  HWND WaitForWindow(DWORD milliseconds) const;
  std::vector<HWND> VisibleWindows() const;

 private:
  kestlib::UniqueHandle m_process;
  DWORD m_processId = 0;
};

std::wstring WindowText(HWND window);
// Texts of the static and rich text controls of a dialog or message box.
std::vector<std::wstring> StaticTexts(HWND dialog);
// Clicks the button with the given control id (IDOK, IDCANCEL, ...).
bool PressButton(HWND dialog, int controlId);

// Runs a console program to its end; its exit code, or -1 on timeout.
long RunToEnd(const std::wstring& commandLine, DWORD milliseconds, std::string* output = nullptr);

// "text" in double quotes for a command line.
std::wstring Quoted(const std::wstring& text);

}  // namespace testsupport
