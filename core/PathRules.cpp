#include "core/PathRules.h"

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

std::wstring MakeTempFolderName(const FolderNameDraw& draw) {
  static constexpr wchar_t kAlphabet[] = L"abcdefghijklmnopqrstuvwxyz0123456789";
  std::wstring name = L"hlv";
  // Words of 32 bits keep the bias of the remainder below one in 10^8.
  for (std::uint32_t word : draw) name += kAlphabet[word % 36];
  return name;
}

std::vector<std::wstring> TopLevelItems(const std::vector<std::wstring>& items) {
  std::vector<std::wstring> names;
  for (std::wstring item : items) {
    while (!item.empty() && (item.back() == L'\\' || item.back() == L'/')) item.pop_back();
    if (!item.empty() && item.find_first_of(L"\\/") == std::wstring::npos) names.push_back(std::move(item));
  }
  return names;
}
