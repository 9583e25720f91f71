// The time limits of the tests' waits.
#pragma once

#include <windows.h>

#include <cwchar>

namespace testsupport {

// The limits suit a real PC. An emulated machine runs everything several
// times slower and says how much slower in SETUPSFX_TIME_SCALE.
inline DWORD TimeLimit(DWORD milliseconds) {
  static const DWORD scale = [] {
    wchar_t value[8] = {};
    const DWORD length = GetEnvironmentVariableW(L"SETUPSFX_TIME_SCALE", value, 8);
    const unsigned long parsed = length > 0 && length < 8 ? std::wcstoul(value, nullptr, 10) : 0;
    return parsed >= 1 && parsed <= 100 ? static_cast<DWORD>(parsed) : DWORD{1};
  }();
  return milliseconds * scale;
}

}  // namespace testsupport
