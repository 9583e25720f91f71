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

// Why Windows cannot create a file or folder of this name (one part of a
// path), or empty when it can: a reserved device name (CON, NUL, COM1...,
// also with an extension), a character of <>:"|?* or below U+0020, or a
// trailing dot or blank.
std::wstring WindowsNameProblem(const std::wstring& name);

// The first part of an archive item's path (parts separated by \ or /)
// that Windows cannot create, with WindowsNameProblem's reason; empty when
// every part can be created. "." and ".." parts and what comes before a
// colon (a drive, a stream's file) do not count: extraction removes them.
std::wstring PathNameProblem(const std::wstring& path);

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
