// Texts for failures, in the one form every message uses.
#pragma once

#include <cstdint>
#include <string>

namespace kestlib {

// The system's message for a Win32 error code or HRESULT, then the code:
// " (0x8007000D)" above 0xFFFF, " (5)" otherwise.
std::wstring SystemErrorText(std::int32_t code);

}  // namespace kestlib
