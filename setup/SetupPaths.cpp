#include "SetupPaths.h"

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

std::wstring CombinePath(const std::wstring& a, const std::wstring& b) {
  if (a.empty() || a.back() == L'\\') return a + b;
  return a + L'\\' + b;
}

bool IsAbsolutePath(const std::wstring& path) {
  if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') return true;
  if (path.size() >= 2 && path[1] == L':') {
    const wchar_t c = path[0];
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
  }
  return false;
}

std::wstring BaseName(const std::wstring& path) {
  std::wstring base = path.substr(0, path.rfind(L'.'));
  if (!base.empty() && base.back() == L'\\') base.pop_back();
  const std::size_t slash = base.rfind(L'\\');
  return slash == std::wstring::npos ? base : base.substr(slash + 1);
}
