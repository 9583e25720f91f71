#include "core/PathRules.h"

#include <algorithm>
#include <array>

namespace {

// Letters whose capital lies at a fixed distance, as NTFS's upcase table
// holds them for the scripts installers commonly name files in.
wchar_t Upcased(wchar_t c) {
  if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - 0x20);
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) ||
      (c >= 0x430 && c <= 0x44F))
    return static_cast<wchar_t>(c - 0x20);
  if (c == 0xFF) return 0x178;
  if (c >= 0x450 && c <= 0x45F) return static_cast<wchar_t>(c - 0x50);
  // Latin Extended-A and the Cyrillic pairs past U+0460: capital, small.
  const bool pairedA = c >= 0x100 && c <= 0x17F && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F;
  const bool oddPairsA = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
  if (pairedA && (oddPairsA ? (c % 2 == 0) : (c % 2 == 1))) return static_cast<wchar_t>(c - 1);
  if (c >= 0x461 && c <= 0x4FF && c % 2 == 1 && !(c >= 0x482 && c <= 0x489) && !(c >= 0x4C1 && c <= 0x4CE))
    return static_cast<wchar_t>(c - 1);
  return c;
}

bool IsReservedDeviceName(std::wstring stem) {
  while (!stem.empty() && (stem.back() == L' ' || stem.back() == L'.')) stem.pop_back();
  stem = FileNameKey(stem);
  static const std::array<const wchar_t*, 4> kPlain = {L"CON", L"PRN", L"AUX", L"NUL"};
  if (std::any_of(kPlain.begin(), kPlain.end(), [&](const wchar_t* name) { return stem == name; })) return true;
  return stem.size() == 4 && (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0) &&
         stem[3] >= L'1' && stem[3] <= L'9';
}

}  // namespace

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

std::wstring WindowsNameProblem(const std::wstring& name) {
  if (name.empty()) return L"its name is empty";
  for (const wchar_t c : name) {
    if (c < 0x20) return L"its name holds a control character";
    if (std::wstring(L"<>:\"|?*").find(c) != std::wstring::npos)
      return std::wstring(L"its name holds the character ") + c;
  }
  if (name.back() == L'.' || name.back() == L' ') return L"its name ends with a dot or a blank";
  if (IsReservedDeviceName(name.substr(0, name.find(L'.')))) return L"its name is reserved for a device";
  return {};
}

std::wstring PathNameProblem(const std::wstring& path) {
  for (std::size_t start = 0; start <= path.size();) {
    const std::size_t end = std::min(path.find_first_of(L"\\/", start), path.size());
    const std::wstring part = path.substr(start, end - start);
    const std::wstring name = part.substr(part.rfind(L':') + 1);
    if (!name.empty() && name != L"." && name != L"..") {
      const std::wstring problem = WindowsNameProblem(name);
      if (!problem.empty()) return L"\"" + part + L"\": " + problem;
    }
    start = end + 1;
  }
  return {};
}

std::wstring FileNameKey(const std::wstring& name) {
  std::wstring key = name;
  std::transform(key.begin(), key.end(), key.begin(), Upcased);
  return key;
}

namespace {
constexpr wchar_t kTempFolderPrefix[] = L"hlv";
constexpr wchar_t kTempFolderAlphabet[] = L"abcdefghijklmnopqrstuvwxyz0123456789";
}  // namespace

std::wstring MakeTempFolderName(const FolderNameDraw& draw) {
  std::wstring name = kTempFolderPrefix;
  // Words of 32 bits keep the bias of the remainder below one in 10^8.
  for (std::uint32_t word : draw) name += kTempFolderAlphabet[word % 36];
  return name;
}

bool IsTempFolderName(const std::wstring& name) {
  const std::wstring prefix = kTempFolderPrefix;
  return name.size() == prefix.size() + FolderNameDraw().size() && name.compare(0, prefix.size(), prefix) == 0 &&
         name.find_first_not_of(kTempFolderAlphabet, prefix.size()) == std::wstring::npos;
}

std::vector<std::wstring> TopLevelItems(const std::vector<std::wstring>& items) {
  std::vector<std::wstring> names;
  for (std::wstring item : items) {
    while (!item.empty() && (item.back() == L'\\' || item.back() == L'/')) item.pop_back();
    if (!item.empty() && item.find_first_of(L"\\/") == std::wstring::npos) names.push_back(std::move(item));
  }
  return names;
}
