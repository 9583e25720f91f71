#include "kestlib/ProcessLaunch.h"

#include <shellapi.h>

#include <utility>

#include "kestlib/Hresult.h"

namespace kestlib {
namespace {

bool Has(LaunchFlags flags, LaunchFlags bit) {
  return (static_cast<std::uint32_t>(flags) & static_cast<std::uint32_t>(bit)) != 0;
}

bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

bool IsAbsolute(const std::wstring& path) {
  if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') return true;
  return path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == L':';
}

// The folder to start in: the one given, else that of an absolute program
// path up to and including its last separator.
std::optional<std::wstring> StartFolder(const std::wstring& program, const std::optional<std::wstring>& given) {
  if (given || !IsAbsolute(program)) return given;
  const std::size_t last = program.find_last_of(L"\\/");
  if (last == std::wstring::npos) return std::nullopt;
  return program.substr(0, last + 1);
}

const wchar_t* OrNull(const std::optional<std::wstring>& text) { return text ? text->c_str() : nullptr; }

HRESULT CreateDirectly(const std::wstring& program, const std::optional<std::wstring>& arguments,
                       ProcessInformation* info, const std::optional<std::wstring>& folder, int show) {
  std::wstring commandLine = L"\"" + program + L"\"";
  if (arguments) commandLine += L" " + *arguments;

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(show);
  PROCESS_INFORMATION created = {};
  // CreateProcessW may write to the command line, so it gets the string's
  // own buffer.
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, OrNull(folder), &startup,
                      &created))
    return HresultFromLastError();

  ProcessInformation started;
  started.process.reset(created.hProcess);
  started.thread.reset(created.hThread);
  started.processId = created.dwProcessId;
  started.threadId = created.dwThreadId;
  if (info) *info = std::move(started);
  return S_OK;
}

HRESULT ExecuteThroughShell(HWND owner, const std::wstring& program, const std::optional<std::wstring>& arguments,
                            ProcessInformation* info, const std::optional<std::wstring>& folder, int show,
                            bool elevate) {
  // The shell may hand the request to extensions that need COM; a thread
  // that already has COM keeps its own.
  const ComInitialization com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

  SHELLEXECUTEINFOW execute = {};
  execute.cbSize = sizeof(execute);
  // NOASYNC: the calling worker may end as soon as this returns.
  execute.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC | (info ? SEE_MASK_NOCLOSEPROCESS : 0);
  execute.hwnd = owner;
  execute.lpVerb = elevate ? L"runas" : L"open";
  execute.lpFile = program.c_str();
  execute.lpParameters = OrNull(arguments);
  execute.lpDirectory = OrNull(folder);
  execute.nShow = show;
  if (info) *info = ProcessInformation();
  if (!ShellExecuteExW(&execute)) return HresultFromLastError();
  if (!info) return S_OK;
  info->process.reset(execute.hProcess);
  return info->process ? S_OK : S_FALSE;
}

}  // namespace

HRESULT LaunchProcess(HWND owner, const std::wstring& program, const std::optional<std::wstring>& arguments,
                      ProcessInformation* info, const std::optional<std::wstring>& workingFolder, int show,
                      LaunchFlags flags) {
  const bool force = Has(flags, LaunchFlags::ForceCreateProcess);
  const bool elevate = Has(flags, LaunchFlags::Elevate);
  // A quote would end the quoted program path early; elevation needs the
  // shell, so creating directly would silently drop it.
  if (program.find(L'"') != std::wstring::npos || (force && elevate)) return E_INVALIDARG;

  const std::optional<std::wstring> folder = StartFolder(program, workingFolder);
  if (force) return CreateDirectly(program, arguments, info, folder, show);
  return ExecuteThroughShell(owner, program, arguments, info, folder, show, elevate);
}

}  // namespace kestlib
