// Data put into a built installer for its setup program: read from the data
// slots or the trailing block of an executable file, and handed over in
// the file "SetupValues.dat".
#pragma once

#include <windows.h>

#include <string>

#include "core/handoff/ForwardedDataFormat.h"

enum class ForwardedDataSource {
  Auto = 0,           // the slots; the trailing block when there are none
  Resources = 1,      // the data slots of an executable
  TrailingBlock = 2,  // the trailing data block
};

// Option bit: leave out the entries whose value is empty.
inline constexpr unsigned kDropEmptyValues = 1;

// Reads forwarded data from the file at path into values. 0 on success;
// 0x80070103 when there is none, 0x8007000D for a broken trailing block,
// 0x80070026 when the last 64 KiB cannot be read, 0x80070714 for a file
// without "MZ" (slots), another 0x8007xxxx for a failing file access,
// 0x80004005 for any other failure. used receives the source read last.
// values may hold what was read before a failure.
HRESULT ReadForwardedData(const std::wstring& path, forwarded::Values& values,
                          ForwardedDataSource source, ForwardedDataSource* used = nullptr,
                          unsigned options = 0);

// Writes "SetupValues.dat" at dataFile from the data of executable, the
// identifier in its name and the tag in its signature, in that order, a
// later value replacing an earlier one of the same name. Writes nothing when there is no value; a file
// that cannot be written completely is removed. Never fails outward: the
// setup starts without the data.
void WriteSetupValues(const std::wstring& dataFile, const std::wstring& executable);

// The same for the program's own file.
void WriteSetupValues(const std::wstring& dataFile);
