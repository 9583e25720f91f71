// One way to turn a failed Win32 call into an HRESULT.
#pragma once

#include <windows.h>

namespace kestlib {

// The last Win32 error in the 0x8007xxxx form (0 when there is none).
inline HRESULT HresultFromLastError() { return HRESULT_FROM_WIN32(GetLastError()); }

}  // namespace kestlib
