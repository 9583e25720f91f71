// Text rules for paths, without Windows headers.
#pragma once

#include <string>

// a, a backslash unless a is empty or already ends with one, then b.
std::wstring CombinePath(const std::wstring& a, const std::wstring& b);
// Begins with two backslashes or with an ASCII letter and a colon.
bool IsAbsolutePath(const std::wstring& path);
// The file name without its folder and its last extension:
// C:\dl\setup.exe gives setup.
std::wstring BaseName(const std::wstring& path);
