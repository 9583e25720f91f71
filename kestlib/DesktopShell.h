// Opening link targets through the desktop shell's own process, so that an
// elevated program opens them with the rights of the desktop user, and the
// file paths that file URLs denote.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kestlib {

// Options of ShellExecuteFromDesktop; bits, combined with |.
enum class DesktopExecuteOptions : std::uint32_t {
  None = 0,
  // Do not let the started program take the foreground.
  NoForeground = 1,
};

// Has the desktop shell open file: a path ending with a backslash is opened
// as a folder window; anything else is run with the optional arguments,
// folder and verb. show is a ShowWindow value. The calling thread must have
// initialized COM.
//
// Every failure raises std::system_error with Boost error information
// (tag_errinfo_code, tag_errinfo_path with file, the throwing function):
// an empty file is the generic invalid_argument ("The pszFile parameter
// must not be nullptr"); a missing shell interface the generic not_supported; other
// failures carry the COM result in the system category, e.g. "Could not
// find desktop shell window" when no desktop shell runs.
void ShellExecuteFromDesktop(const std::wstring& file, const std::optional<std::wstring>& arguments,
                             const std::optional<std::wstring>& folder, const std::optional<std::wstring>& verb,
                             int show, DesktopExecuteOptions options);

// The file path that a file URL denotes, escapes decoded
// ("file:///C:/a%20b.txt" gives "C:\a b.txt"). Anything else raises
// std::system_error with the shell's result in the system category and the
// text "Could not create path from URL", with Boost error information.
std::wstring PathFromUrl(const std::wstring& url);

}  // namespace kestlib
