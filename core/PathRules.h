// Text rules for paths, without Windows headers.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// a, a backslash unless a is empty or already ends with one, then b.
std::wstring CombinePath(const std::wstring& a, const std::wstring& b);
// Begins with two backslashes or with an ASCII letter and a colon.
bool IsAbsolutePath(const std::wstring& path);
// The file name without its folder and its last extension:
// C:\dl\setup.exe gives setup.
std::wstring BaseName(const std::wstring& path);

// The path at which the installer's engine writes an archive item,
// relative to the extraction folder, its parts joined by backslashes: the
// stored path split at \ and /, "." and ".." parts and empty ones dropped,
// and each name Windows cannot create renamed (a character of <>:"|?* or
// below U+0020 and each trailing dot or blank become "_", a device name
// such as CON, NUL, COM0 to COM9 or LPT0 to LPT9, also with an extension,
// gets a "_" in front). A file whose path keeps no part is "_"; a folder's
// may be empty (the extraction folder itself).
std::wstring ExtractedItemPath(const std::wstring& itemPath, bool isFolder);

// Why the installer would not create the item under the path stored in the
// archive, or empty when it would: a ".." part (it would climb out of the
// extraction folder), an absolute path (a leading separator or a drive),
// a file without a name, or a part that ExtractedItemPath renames, which is
// quoted with the reason.
std::wstring ItemPathProblem(const std::wstring& itemPath, bool isFolder);

// The name as NTFS compares names: upper-cased letter by letter, also
// beyond ASCII (Latin, Greek, Cyrillic), so that a small u-umlaut and its
// capital give one key.
std::wstring FileNameKey(const std::wstring& name);

// Random words that name one temporary folder.
using FolderNameDraw = std::array<std::uint32_t, 8>;
// "hlv" and one character of a to z and 0 to 9 per word.
std::wstring MakeTempFolderName(const FolderNameDraw& draw);
// Whether MakeTempFolderName can give this name.
bool IsTempFolderName(const std::wstring& name);

// The names of the items directly in the extraction folder, in order: the
// entries (relative paths, folders with a trailing backslash) with no
// separator left once their trailing separators are removed.
std::vector<std::wstring> TopLevelItems(const std::vector<std::wstring>& items);
