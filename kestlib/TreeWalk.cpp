#include "kestlib/TreeWalk.h"

#include <cwchar>
#include <utility>
#include <vector>

#include "kestlib/Holders.h"
#include "kestlib/Hresult.h"

namespace kestlib {
namespace {

const std::wstring kExtendedPrefix = L"\\\\?\\";

bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// "C:folder" would resolve against the drive's current folder, so a drive
// path counts only with its separator.
bool IsAbsolute(const std::wstring& path) {
  if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') return true;
  return path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == L':' && IsSeparator(path[2]);
}

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
  if (folder.empty() || folder.back() == L'\\') return folder + name;
  return folder + L'\\' + name;
}

// "C:\" or "\\server\share", with or without a trailing backslash; path is
// a full path.
bool IsVolumeRoot(std::wstring path) {
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  if (path.compare(0, 2, L"\\\\") != 0) return path.size() <= 3;
  const std::size_t share = path.find(L'\\', 2);
  return share == std::wstring::npos || path.find(L'\\', share + 1) == std::wstring::npos;
}

// The plain form of a path given in the extended-length form.
std::wstring PlainPath(const std::wstring& path) {
  if (path.compare(0, kExtendedPrefix.size(), kExtendedPrefix) != 0) return path;
  if (path.compare(kExtendedPrefix.size(), 4, L"UNC\\") == 0) return L"\\\\" + path.substr(kExtendedPrefix.size() + 4);
  return path.substr(kExtendedPrefix.size());
}

// The folder in the extended-length form, so that deep trees do not stop at
// MAX_PATH; "." and ".." are resolved first because that form takes them
// literally. An empty result means the path is refused, for the reason in hr.
std::wstring ExtendedFolderPath(const std::wstring& folder, HRESULT& hr) {
  const std::wstring plain = PlainPath(folder);
  std::wstring full(GetFullPathNameW(plain.c_str(), 0, nullptr, nullptr), L'\0');
  const DWORD length =
      full.empty() ? 0 : GetFullPathNameW(plain.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
  if (length == 0 || length >= full.size()) {
    hr = length == 0 ? HresultFromLastError() : E_UNEXPECTED;
    return {};
  }
  full.resize(length);
  // Emptying a whole volume is never what a clean-up means.
  if (!IsAbsolute(full) || IsVolumeRoot(full)) {
    hr = E_INVALIDARG;
    return {};
  }
  while (full.back() == L'\\') full.pop_back();
  hr = S_OK;
  return full.compare(0, 2, L"\\\\") == 0 ? kExtendedPrefix + L"UNC" + full.substr(1) : kExtendedPrefix + full;
}

bool IsDots(const wchar_t* name) { return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0; }

struct Entry {
  std::wstring name;
  DWORD attributes;
};

// The entries of a folder; the end of the listing is told apart from a
// failure to read on.
HRESULT ListFolder(const std::wstring& folder, std::vector<Entry>& entries) {
  WIN32_FIND_DATAW data;
  const UniqueFind find(
      FindFirstFileExW(Join(folder, L"*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0));
  if (!find) return HresultFromLastError();
  do {
    if (!IsDots(data.cFileName)) entries.push_back({data.cFileName, data.dwFileAttributes});
  } while (FindNextFileW(find.get(), &data));
  const DWORD error = GetLastError();
  return error == ERROR_NO_MORE_FILES ? S_OK : HRESULT_FROM_WIN32(error);
}

// A folder being walked: the subfolders still to enter.
struct Level {
  std::wstring path;
  std::vector<std::wstring> subfolders;
};

class TreeWalker {
 public:
  TreeWalker(const TreeWalkOptions& options, const TreeItemVisit& item, const TreeFolderVisit& folderDone)
      : m_options(options), m_item(item), m_folderDone(folderDone) {}

  HRESULT Run(const std::wstring& root) {
    const DWORD attributes = GetFileAttributesW(root.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      const DWORD error = GetLastError();
      // Nothing is there, so nothing is left.
      if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return S_OK;
    } else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      // The root itself a link: what it points to is no part of the tree.
      Failed(m_folderDone(root, true));
      return m_result;
    }
    std::vector<Level> levels;
    levels.push_back({root, {}});
    if (VisitEntries(levels.back())) return m_result;
    while (!levels.empty()) {
      Level& level = levels.back();
      if (!level.subfolders.empty()) {
        Level child{Join(level.path, level.subfolders.back()), {}};
        level.subfolders.pop_back();
        if (VisitEntries(child)) return m_result;
        levels.push_back(std::move(child));
        continue;
      }
      if (Failed(m_folderDone(level.path, levels.size() == 1))) return m_result;
      levels.pop_back();
    }
    return m_result;
  }

 private:
  // Visits the files and links of a folder and notes its subfolders; true
  // when a failure ends the walk. An unreadable folder is still visited
  // itself.
  bool VisitEntries(Level& level) {
    std::vector<Entry> entries;
    if (Failed(ListFolder(level.path, entries))) return true;
    for (const Entry& entry : entries) {
      const bool isFolder = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      const bool isLink = (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
      if (isFolder && !isLink) {
        if (m_options.descend) level.subfolders.push_back(entry.name);
      } else if (Failed(m_item(Join(level.path, entry.name), entry.attributes))) {
        return true;
      }
    }
    return false;
  }

  // Notes a failure; true when it ends the walk.
  bool Failed(HRESULT hr) {
    if (SUCCEEDED(hr)) return false;
    if (SUCCEEDED(m_result)) m_result = hr;
    return m_options.stopAtFirstFailure;
  }

  const TreeWalkOptions& m_options;
  const TreeItemVisit& m_item;
  const TreeFolderVisit& m_folderDone;
  HRESULT m_result = S_OK;
};

}  // namespace

HRESULT WalkTree(const std::wstring& folder, const TreeWalkOptions& options, const TreeItemVisit& item,
                 const TreeFolderVisit& folderDone) {
  if (!IsAbsolute(folder)) return E_INVALIDARG;
  HRESULT hr = S_OK;
  const std::wstring path = ExtendedFolderPath(folder, hr);
  if (path.empty()) return hr;
  return TreeWalker(options, item, folderDone).Run(path);
}

}  // namespace kestlib
