// The shell's folder picker.
#pragma once

#include <windows.h>

#include <string>

namespace kestlib {

// The folder the user picked, with a trailing backslash; empty when the
// user cancelled or the dialog failed. An empty title keeps the shell's.
std::wstring PickFolder(HWND owner, const std::wstring& initialFolder, const std::wstring& title);

}  // namespace kestlib
