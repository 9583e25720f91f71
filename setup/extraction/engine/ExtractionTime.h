// The time every extracted item carries: the current system time in whole
// seconds, as every file system keeps them.
#pragma once

#include <windows.h>

#include <cstdint>

// In FILETIME ticks (100 ns).
inline std::uint64_t ExtractionTime() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const std::uint64_t ticks = (std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
  return ticks - ticks % 10000000;
}

inline FILETIME ToFileTime(std::uint64_t ticks) {
  return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}
