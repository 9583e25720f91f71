#include "setup/startup/SetupPaths.h"

#include <windows.h>

#include <vector>

std::wstring ModulePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::wstring();
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

std::wstring CurrentDirectory() {
  std::vector<wchar_t> buffer(MAX_PATH);
  DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
  if (length > buffer.size()) {
    buffer.resize(length);
    length = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
  }
  if (length == 0 || length >= buffer.size()) return std::wstring();
  std::wstring dir(buffer.data(), length);
  if (dir.back() != L'\\') dir += L'\\';
  return dir;
}
