// A --folder as 7-Zip will pack it, walked once before packing: its items,
// its links checked, and a copy with clamped file times only when one is
// needed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "FileIo.h"
#include "PayloadPaths.h"

namespace sfxpack {

struct FolderItem {
  std::filesystem::path relative;  // inside the folder, as the archive names it
  std::filesystem::path source;    // the file or folder read, links resolved
  bool folder = false;
  bool viaLink = false;  // reached through a link
};

struct FolderScan {
  std::vector<FolderItem> items;  // a folder before its contents
  PayloadPaths paths;
};

// Refuses a folder that is missing, not a folder or empty; any link unless
// followLinks; always a link that points out of the folder, into a folder
// that holds it, or nowhere; and items that are no file or folder.
FolderScan ScanFolder(const std::filesystem::path& folder, bool followLinks);

// The bytes of the files the scan found.
std::uint64_t FileBytes(const FolderScan& scan);

// Whether 7-Zip needs a tree of its own for the epoch: an item is later
// than the epoch or is reached through a link (whose time is its target's).
bool NeedsClampedTree(const FolderScan& scan, std::int64_t epoch);

// That tree, in a new folder at where: no time later than the epoch. Files
// whose times need no clamping are hard links where the file system allows;
// copies keep the holes of sparse files.
void MakeClampedTree(const FolderScan& scan, std::int64_t epoch, const std::filesystem::path& where);

}  // namespace sfxpack
