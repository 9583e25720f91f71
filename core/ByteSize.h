// Byte counts as messages show them: "700.0 MB", "3.00 GB".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// units: the names of KiB, MiB, GiB and TiB; a shorter list is padded with
// "KB", "MB", "GB", "TB", a longer one cut. The decimal separator is the C
// runtime locale's.
std::wstring FormatByteSize(std::uint64_t bytes, std::vector<std::wstring> units = {});
