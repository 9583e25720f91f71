// Texts for failures, in the one form every message uses.
#pragma once

#include <cstdint>
#include <string>
#include <system_error>

#include <boost/system/error_code.hpp>

namespace kestlib {

// The system's message for a Win32 error code or HRESULT, then the code:
// " (0x8007000D)" above 0xFFFF, " (5)" otherwise.
std::wstring SystemErrorText(std::int32_t code);

// The system's message when the code is of systemCategory, else (or when the
// system has none) the category's own; withCode appends " (name:value)".
std::wstring ErrorCodeText(const std::error_code& code, const std::error_category& systemCategory, bool withCode);
std::wstring ErrorCodeText(const boost::system::error_code& code, const boost::system::error_category& systemCategory,
                           bool withCode);

// The exception being handled, with the exceptions nested in it, as text
// indented by level tabs:
//
//   Could not open file.
//
//   Error details:
//   <system message> (system:2)
//
//   Path:
//   'C:\setup.xml'
//
//   Cause:
//   <the nested exception, every line one tab deeper>
//
// Several paths are listed as "Path 0:", "Path 1:"...; a cause that has the
// same paths as its parent does not list them again. Call it inside a catch
// block; anywhere else it describes an unknown exception.
std::wstring ExceptionDescription(int level);

}  // namespace kestlib
