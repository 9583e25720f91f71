// Folder references of configuration values, such as [PersonalFolder] or
// [ProgramFiles6432Folder]: the folder property names of Windows Installer
// and of WiX, resolved on the running system.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace kestlib {

struct FolderEntry {
  int csidl = -1;             // a shell special folder, or -1
  std::wstring environment;   // else an environment variable, or empty
};

// The fixed table, built once.
const std::map<std::wstring, FolderEntry>& FolderProperties();

// The folder a name stands for; empty when the name is unknown (names are
// case-sensitive) or the folder cannot be found. With create, a missing
// special folder is created.
std::wstring FolderPath(const std::wstring& name, bool create);

// Every name with its current folder, for expanding references.
std::map<std::wstring, std::wstring> FolderMap();

}  // namespace kestlib
