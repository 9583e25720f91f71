// Facts about the running system.
#pragma once

#include <string>

#include "kestlib/Holders.h"

namespace kestlib {

// True on 64-bit Windows: always for the 64-bit build, under WOW64 for the
// 32-bit one, which gets false also where the system cannot be asked.
bool RunsOn64BitWindows();

// The system folder as the system reports it; empty when it cannot be read.
std::wstring SystemFolder();

// From now on DLLs that are loaded by bare name (also by system code) come
// from the system folder only, never from the program's own folder, where
// a downloaded installer may have planted neighbours. Call it first.
void RestrictDllSearch();

// Loads a DLL from the system folder only, never from the folder that the
// installer was started from (a planted copy there would run).
UniqueModule LoadSystemLibrary(const wchar_t* name);

}  // namespace kestlib
