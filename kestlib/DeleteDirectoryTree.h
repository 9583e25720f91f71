// Removal of a folder with everything in it, for the temporary files of a
// run: at once, or at the next restart for what is held.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace kestlib {

// Options of DeleteDirectoryTree; bits, combined with |.
enum class DeleteTreeFlags : std::uint32_t {
  None = 0,
  // Remove the given folder itself at the end; folders below it are always
  // removed once emptied.
  RemoveRoot = 1,
  // Descend into subfolders; without it they are left alone.
  Recurse = 2,
  // Give a read-only file normal attributes before deleting it; without it
  // a read-only file stays and counts as a failure.
  ClearReadOnly = 4,
  // End the whole removal at the first item that cannot be removed.
  StopAtFirstFailure = 8,
};

constexpr DeleteTreeFlags operator|(DeleteTreeFlags a, DeleteTreeFlags b) {
  return static_cast<DeleteTreeFlags>(static_cast<std::uint32_t>(a) | static_cast<std::uint32_t>(b));
}

// Deletes what lies in folder, and with RemoveRoot the folder too. Links
// (junctions, symbolic links) inside the tree are removed themselves: what
// they point to is never entered or touched. Paths longer than MAX_PATH are
// handled.
//
// Returns S_OK when nothing that was to go is left, also when the folder
// does not exist; otherwise the first failure (items that can be removed
// still are, unless StopAtFirstFailure). A folder path that is not absolute
// ("C:\..." or "\\server\share\...") or that names a volume root is refused
// with E_INVALIDARG (0x80070057, Win32 error 87) before anything is touched.
HRESULT DeleteDirectoryTree(const std::wstring& folder, DeleteTreeFlags flags);

// Marks what is in folder, and the folder itself, for removal at the next
// restart (MoveFileExW with MOVEFILE_DELAY_UNTIL_REBOOT), items before the
// folders that hold them; a link is marked itself, what it points to is
// never entered. Paths longer than MAX_PATH are marked too. Refuses what
// DeleteDirectoryTree refuses, the same way; otherwise S_OK, or the first
// refusal of the system (only administrators may ask), which ends the
// marking.
HRESULT RemoveTreeAtRestart(const std::wstring& folder);

}  // namespace kestlib
