// The version resource (VS_VERSIONINFO): written from a product's details
// and read back, both over plain bytes; no Windows header.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kestlib {

using FileVersion = std::array<std::uint16_t, 4>;

struct VersionInfo {
  FileVersion fileVersion{};
  FileVersion productVersion{};
  // Keys such as "ProductName" with their values, in order.
  std::vector<std::pair<std::u16string, std::u16string>> strings;
};

// "1", "1.2", "1.2.3" or "1.2.3.4", each part 0 to 65535.
std::optional<FileVersion> ParseFileVersion(const std::string& text);

// The resource for an application, its strings in the table of US English
// and Unicode (040904B0).
std::vector<std::uint8_t> BuildVersionInfo(const VersionInfo& info);

// Reads the fixed versions and the strings of the first string table;
// nothing when the bytes are no version resource.
std::optional<VersionInfo> ReadVersionInfo(const std::uint8_t* data, std::size_t size);

}  // namespace kestlib
