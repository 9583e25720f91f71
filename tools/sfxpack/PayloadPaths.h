// The items of a payload, as the installer would create them on Windows.
#pragma once

#include <string>
#include <vector>

namespace sfxpack {

// "/" between the parts of a path, UTF-8.
struct PayloadPaths {
  std::vector<std::string> files;
  std::vector<std::string> folders;
};

// Refuses item names Windows cannot create and items whose paths differ
// only in letter case (Windows would extract one over the other). source
// names the folder or archive in the message.
void RequireWindowsNames(const PayloadPaths& payload, const std::string& source);

}  // namespace sfxpack
