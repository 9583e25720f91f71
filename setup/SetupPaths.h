// Path rules of the start-up phases.
#pragma once

#include <string>

// Full path of the program's own file.
std::wstring ModulePath();
// The current directory with a trailing backslash; empty on failure.
std::wstring CurrentDirectory();
// a, a backslash unless a is empty or already ends with one, then b.
std::wstring CombinePath(const std::wstring& a, const std::wstring& b);
// Begins with two backslashes or with an ASCII letter and a colon.
bool IsAbsolutePath(const std::wstring& path);
// The file name without its folder and its last extension:
// C:\dl\setup.exe gives setup.
std::wstring BaseName(const std::wstring& path);
