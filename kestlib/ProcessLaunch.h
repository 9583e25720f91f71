// Starting a program, directly or through the shell so that a program that
// demands administrator rights gets the elevation prompt.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "kestlib/Holders.h"

namespace kestlib {

// Options of LaunchProcess; bits, combined with |. Without any, the program
// is started through the shell with the verb "open".
enum class LaunchFlags : std::uint32_t {
  None = 0,
  // Create the process directly, without the shell.
  ForceCreateProcess = 1,
  // Start through the shell with the verb "runas".
  Elevate = 4,
};

constexpr LaunchFlags operator|(LaunchFlags a, LaunchFlags b) {
  return static_cast<LaunchFlags>(static_cast<std::uint32_t>(a) | static_cast<std::uint32_t>(b));
}

// What the starter of a program gets. When the shell started it, only the
// process handle is filled.
struct ProcessInformation {
  UniqueHandle process;
  UniqueHandle thread;
  DWORD processId = 0;
  DWORD threadId = 0;
};

// Starts program with arguments (appended as given after the quoted program
// path; an empty text still adds the blank). Without a working folder, an
// absolute program path lends its own folder; a bare name gets none, so the
// program starts in this process's current folder. show is a ShowWindow
// value; owner (may be null) parents the shell's windows.
//
// Returns S_OK when started, with info (when given) filled. S_FALSE: the
// shell reported success but handed back no process to wait on (it passed
// the request to a program that was already running). Otherwise the
// failure: the Win32 error as an HRESULT (0x80070002 for a missing program,
// 0x800704C7 when the user refused elevation); E_INVALIDARG for a program
// path with a double quote or for ForceCreateProcess with Elevate.
HRESULT LaunchProcess(HWND owner, const std::wstring& program, const std::optional<std::wstring>& arguments,
                      ProcessInformation* info, const std::optional<std::wstring>& workingFolder, int show,
                      LaunchFlags flags);

}  // namespace kestlib
