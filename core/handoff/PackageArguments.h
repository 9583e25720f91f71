// The installer's own arguments that must not reach the Windows Installer:
// msiexec reads some of our switches as its own ("/l FILE" writes a log).
#pragma once

#include <string>

// The argument tail without those switches and their values; every other
// argument stays exactly as written. Arguments are split the way the C
// runtime splits a command line.
std::wstring TailForPackage(const std::wstring& tail);
