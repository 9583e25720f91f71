#include "kestlib/ErrorText.h"

#include <windows.h>

#include <cwchar>
#include <cwctype>

#include <boost/algorithm/string/trim.hpp>

namespace kestlib {

std::wstring SystemErrorText(std::int32_t code) {
  wchar_t buffer[1024] = {};
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                      static_cast<DWORD>(code), 0, buffer, 1024, nullptr);
  std::wstring text(buffer, length);
  // A predicate of our own: the default one would pull the C++ locale
  // machinery into the stub.
  boost::algorithm::trim_right_if(text, [](wchar_t c) { return std::iswspace(static_cast<std::wint_t>(c)) != 0; });

  wchar_t suffix[32];
  if (static_cast<std::uint32_t>(code) > 0xFFFF)
    std::swprintf(suffix, 32, L" (0x%X)", static_cast<unsigned>(code));
  else
    std::swprintf(suffix, 32, L" (%d)", static_cast<int>(code));
  return text + suffix;
}

}  // namespace kestlib
