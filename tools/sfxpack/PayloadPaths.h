// The items of a payload, as the installer would create them on Windows.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace sfxpack {

// "/" between the parts of a path, UTF-8.
struct PayloadPaths {
  std::vector<std::string> files;
  std::vector<std::string> folders;
  // Of an archive as 7-Zip lists it: each file's coders ("BCJ LZMA2:24";
  // empty for an empty file) and the files that are stored links.
  std::vector<std::pair<std::string, std::string>> methods;
  std::vector<std::string> links;
};

// Refuses item names the installer would not create as named (paths that
// climb out or are absolute, names Windows cannot create, which the engine
// renames), a backslash inside a name (Windows reads it as a separator), a
// name that is not UTF-8, and items whose paths differ only in letter case
// (Windows would extract one over the other). source names the folder or
// archive in the message. Gives the paths the installer creates, "./"
// prefixes and the like removed.
PayloadPaths RequireWindowsNames(const PayloadPaths& payload, const std::string& source);

}  // namespace sfxpack
