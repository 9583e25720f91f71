// One way to turn a failed Win32 call into an HRESULT.
#pragma once

#include <windows.h>

namespace kestlib {

// The last Win32 error in the 0x8007xxxx form. Call it only after a call
// that failed: a failure that set no error still reads as one (E_FAIL),
// never as success.
inline HRESULT HresultFromLastError() {
  const DWORD error = GetLastError();
  return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

// Keeps the thread's last error across a release (CloseHandle, FindClose,
// ...) that happens between a failing call and the check of its error.
class LastErrorKeeper {
 public:
  LastErrorKeeper() : m_error(GetLastError()) {}
  ~LastErrorKeeper() { SetLastError(m_error); }
  LastErrorKeeper(const LastErrorKeeper&) = delete;
  LastErrorKeeper& operator=(const LastErrorKeeper&) = delete;

 private:
  DWORD m_error;
};

}  // namespace kestlib
