// Reading an executable file on disk as data: never loaded as a program.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "kestlib/Holders.h"

// Opens an existing file for reading with read sharing. A sharing
// violation is tried again, up to five attempts, each after 250 ms.
HRESULT OpenFileWithRetry(const std::wstring& path, kestlib::UniqueFile& file);

// The bytes of the resource of the given type id and name, from at most the
// first 100 MiB of the file. 0x80070714 when the file does not begin with
// "MZ"; the system's resource lookup error when there is no such resource.
HRESULT ReadResourceFromFile(const std::wstring& path, std::uint16_t type, const std::wstring& name,
                             std::vector<std::uint8_t>& bytes);

// The same, from a file the caller holds open for reading.
HRESULT ReadResourceFromOpenFile(HANDLE file, std::uint16_t type, const std::wstring& name,
                                 std::vector<std::uint8_t>& bytes);
