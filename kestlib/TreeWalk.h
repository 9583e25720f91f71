// The one walk over a folder tree that every clean-up uses: long paths in
// the extended-length form, links never entered, items before the folders
// that hold them.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace kestlib {

// Called for each file and each link (file or folder link, never entered)
// with its full extended-length path and attributes; the result of what was
// done with it.
using TreeItemVisit = std::function<HRESULT(const std::wstring& path, DWORD attributes)>;
// Called for each folder once what lies in it has been visited, the root
// last (isRoot); also for a root that is a link, which is not entered.
using TreeFolderVisit = std::function<HRESULT(const std::wstring& path, bool isRoot)>;

struct TreeWalkOptions {
  // Enter subfolders; without it only the root's own files and links are
  // visited (and the root).
  bool descend = true;
  // End the walk at the first failure of a visit or of a folder's listing.
  bool stopAtFirstFailure = false;
};

// Walks the tree of folder without recursion, so that a deep tree cannot
// exhaust a worker's stack. Each folder's entries are read before any visit,
// so visits that remove items do not disturb the listing. Returns S_OK when
// every visit and listing succeeded, also when the folder does not exist;
// otherwise the first failure. A folder that is not absolute ("C:\..." or
// "\\server\share\...") or that names a volume root is refused with
// E_INVALIDARG before anything is visited.
HRESULT WalkTree(const std::wstring& folder, const TreeWalkOptions& options, const TreeItemVisit& item,
                 const TreeFolderVisit& folderDone);

}  // namespace kestlib
