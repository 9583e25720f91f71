#include "core/PathRules.h"

#include <algorithm>
#include <array>
#include <string_view>

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

// The engine's rule: CON, PRN, AUX, NUL, or COM or LPT and a digit, then
// nothing, or blanks and nothing or a dot; ASCII letters in any case.
bool IsDeviceName(const std::wstring& name) {
  const auto is = [&](std::size_t i, wchar_t upper) { return i < name.size() && (name[i] & ~0x20) == upper; };
  for (const std::wstring_view device : {L"CON", L"PRN", L"AUX", L"NUL", L"COM", L"LPT"}) {
    if (!is(0, device[0]) || !is(1, device[1]) || !is(2, device[2])) continue;
    std::size_t i = 3;
    if (device == L"COM" || device == L"LPT") {
      if (i == name.size() || name[i] < L'0' || name[i] > L'9') continue;
      ++i;
    }
    while (i < name.size() && name[i] == L' ') ++i;
    if (i == name.size() || name[i] == L'.') return true;
  }
  return false;
}

bool IsRenamedCharacter(wchar_t c) { return c < 0x20 || std::wstring_view(L"<>:\"|?*").find(c) != std::wstring_view::npos; }

// One part as the engine writes it; "." and ".." give an empty part.
std::wstring ExtractedName(std::wstring part) {
  if (part == L"." || part == L"..") return {};
  std::replace_if(part.begin(), part.end(), IsRenamedCharacter, L'_');
  for (auto it = part.rbegin(); it != part.rend() && (*it == L'.' || *it == L' '); ++it) *it = L'_';
  if (IsDeviceName(part)) part.insert(part.begin(), L'_');
  return part;
}

std::vector<std::wstring> SplitItemPath(const std::wstring& path) {
  std::vector<std::wstring> parts;
  for (std::size_t start = 0;;) {
    const std::size_t end = path.find_first_of(L"\\/", start);
    parts.push_back(path.substr(start, end - start));
    if (end == std::wstring::npos) return parts;
    start = end + 1;
  }
}

std::wstring RenameReason(const std::wstring& part) {
  for (const wchar_t c : part) {
    if (c < 0x20) return L"its name holds a control character";
    if (IsRenamedCharacter(c)) return std::wstring(L"its name holds the character ") + c;
  }
  if (part.back() == L'.' || part.back() == L' ') return L"its name ends with a dot or a blank";
  return L"its name is reserved for a device";
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

std::wstring ExtractedItemPath(const std::wstring& itemPath, bool isFolder) {
  const std::vector<std::wstring> parts = SplitItemPath(itemPath);
  std::wstring path;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    std::wstring name = ExtractedName(parts[i]);
    if (name.empty()) {
      // Dropped, except the last part of a file, which needs a name.
      if (isFolder || i + 1 < parts.size()) continue;
      name = L"_";
    }
    path = CombinePath(path, name);
  }
  return path.empty() && !isFolder ? L"_" : path;
}

std::wstring ItemPathProblem(const std::wstring& itemPath, bool isFolder) {
  const std::vector<std::wstring> parts = SplitItemPath(itemPath);
  if (parts.size() > 1 && parts[0].empty()) return L"it is an absolute path (it begins with a separator)";
  if (parts.size() > 1 && parts[0].size() == 2 && IsAbsolutePath(parts[0]))
    return L"it is an absolute path (it begins with a drive)";
  for (const std::wstring& part : parts) {
    if (part == L"..") return L"it climbs out of the extraction folder (a \"..\" part)";
  }
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::wstring& part = parts[i];
    if (part.empty() || part == L".") {
      if (!isFolder && i + 1 == parts.size()) return L"it names no file (its last part is empty)";
      continue;
    }
    const std::wstring name = ExtractedName(part);
    if (name != part) return L"\"" + part + L"\" would be written as \"" + name + L"\": " + RenameReason(part);
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
