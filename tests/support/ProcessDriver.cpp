#include "ProcessDriver.h"

#include <algorithm>

namespace testsupport {

ProcessDriver::ProcessDriver(const std::wstring& commandLine, const std::wstring& workingDir) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  std::wstring mutableLine = commandLine;
  if (CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                     workingDir.empty() ? nullptr : workingDir.c_str(), &startup, &info)) {
    CloseHandle(info.hThread);
    m_process.reset(info.hProcess);
    m_processId = info.dwProcessId;
  }
}

ProcessDriver::~ProcessDriver() {
  if (m_process && WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT) {
    TerminateProcess(m_process.get(), 0xDEAD);
    WaitForSingleObject(m_process.get(), TimeLimit(5000));
  }
}

bool ProcessDriver::WaitForExit(DWORD milliseconds) {
  return m_process && WaitForSingleObject(m_process.get(), milliseconds) == WAIT_OBJECT_0;
}

DWORD ProcessDriver::ExitCode() const {
  DWORD code = STILL_ACTIVE;
  if (m_process) GetExitCodeProcess(m_process.get(), &code);
  return code;
}

namespace {

struct WindowSearch {
  DWORD processId;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectVisibleWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId && IsWindowVisible(window)) search->found.push_back(window);
  return TRUE;
}

std::wstring SentText(HWND control) {
  const UINT kLimit = TimeLimit(5000);
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kLimit, &length)) return {};
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(control, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                           kLimit, &copied))
    return {};
  text.resize(copied);
  return text;
}

BOOL CALLBACK CollectStaticText(HWND child, LPARAM param) {
  wchar_t className[64] = {};
  GetClassNameW(child, className, 64);
  const bool richText = lstrcmpiW(className, L"RICHEDIT50W") == 0;
  if (lstrcmpiW(className, L"Static") == 0 || richText) {
    // GetWindowText does not ask a control of another process for its text.
    std::wstring text = richText ? SentText(child) : WindowText(child);
    // Paragraphs end with a line break; the document's last one is no text.
    if (richText) {
      for (std::size_t at = text.find(L"\r\n"); at != std::wstring::npos; at = text.find(L"\r\n", at))
        text.erase(at, 1);
      std::replace(text.begin(), text.end(), L'\r', L'\n');
      while (!text.empty() && (text.back() == L'\n' || text.back() == L' ')) text.pop_back();
    }
    if (!text.empty()) reinterpret_cast<std::vector<std::wstring>*>(param)->push_back(text);
  }
  return TRUE;
}

}  // namespace

std::vector<HWND> ProcessDriver::VisibleWindows() const {
  WindowSearch search{m_processId, {}};
  EnumWindows(CollectVisibleWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND ProcessDriver::WaitForWindow(DWORD milliseconds) const {
  const ULONGLONG deadline = GetTickCount64() + milliseconds;
  do {
    const auto windows = VisibleWindows();
    if (!windows.empty()) return windows.front();
    if (m_process && WaitForSingleObject(m_process.get(), 50) == WAIT_OBJECT_0) return nullptr;
  } while (GetTickCount64() < deadline);
  return nullptr;
}

std::wstring WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), length + 1)));
  return text;
}

std::vector<std::wstring> StaticTexts(HWND dialog) {
  std::vector<std::wstring> texts;
  EnumChildWindows(dialog, CollectStaticText, reinterpret_cast<LPARAM>(&texts));
  return texts;
}

bool PressButton(HWND dialog, int controlId) {
  HWND button = GetDlgItem(dialog, controlId);
  if (!button) return false;
  return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED), reinterpret_cast<LPARAM>(button)) != 0;
}

long RunToEnd(const std::wstring& commandLine, DWORD milliseconds, std::string* output) {
  // Output goes to a file rather than a pipe, so that waiting for the
  // program is the only wait and it has a time limit. The file goes when
  // its last handle does: processes the program started may hold it still.
  wchar_t tempDir[MAX_PATH] = {};
  wchar_t outputPath[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, tempDir);
  if (!GetTempFileNameW(tempDir, L"out", 0, outputPath)) return -1;
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  kestlib::UniqueFile sink(CreateFileW(outputPath, GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!sink) {
    DeleteFileW(outputPath);
    return -1;
  }
  long result = -1;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = sink.get();
  startup.hStdError = sink.get();
  PROCESS_INFORMATION info = {};
  std::wstring mutableLine = commandLine;
  if (CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                     &startup, &info)) {
    kestlib::UniqueHandle process(info.hProcess);
    kestlib::UniqueHandle thread(info.hThread);
    if (WaitForSingleObject(process.get(), milliseconds) == WAIT_OBJECT_0) {
      DWORD code = 0;
      GetExitCodeProcess(process.get(), &code);
      result = static_cast<long>(code);
    } else {
      TerminateProcess(process.get(), 0xDEAD);
      WaitForSingleObject(process.get(), TimeLimit(5000));
    }
  }
  if (output) {
    output->clear();
    LARGE_INTEGER start = {};
    char buffer[4096];
    DWORD read = 0;
    if (SetFilePointerEx(sink.get(), start, nullptr, FILE_BEGIN))
      while (ReadFile(sink.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) output->append(buffer, read);
  }
  return result;
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

}  // namespace testsupport
