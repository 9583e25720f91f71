// Conversions between the wide strings of the system and UTF-8 text.
#pragma once

#include <string>
#include <string_view>

namespace kestlib {

// Text that is not valid UTF-8 converts to an empty string.
std::wstring WideFromUtf8(std::string_view text);

// Unpaired surrogates become U+FFFD.
std::string Utf8FromWide(std::wstring_view text);

}  // namespace kestlib
