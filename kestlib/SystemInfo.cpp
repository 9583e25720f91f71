#include "kestlib/SystemInfo.h"

#include <windows.h>

namespace kestlib {

bool RunsOn64BitWindows() {
#ifdef _WIN64
  return true;
#else
  // Looked up at run time: not every system has the function.
  using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
  const HMODULE kernel = GetModuleHandleW(L"kernel32");
  const auto isWow64 =
      kernel ? reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process")))
             : nullptr;
  BOOL wow64 = FALSE;
  return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
#endif
}

std::wstring SystemFolder() {
  wchar_t path[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(path, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::wstring(path, length) : std::wstring();
}

void RestrictDllSearch() {
  // Looked up at run time: Windows 7 has it only with an update.
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  // Without it, at least the current folder leaves the search.
  SetDllDirectoryW(L"");
}

UniqueModule LoadSystemLibrary(const wchar_t* name) {
  if (GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "AddDllDirectory"))
    return UniqueModule(LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  const std::wstring folder = SystemFolder();
  if (folder.empty()) return nullptr;
  return UniqueModule(LoadLibraryW((folder + L'\\' + name).c_str()));
}

}  // namespace kestlib
