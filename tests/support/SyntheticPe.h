// Builds small, well-formed PE32 or PE32+ images for tests: DOS and PE headers, a
// code section and a resource section holding string-named resources of
// one type, one language each. Tests damage the result through the
// offsets it reports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

struct PeContents {
  bool pe32Plus = false;            // PE32+ for x64 instead of PE32 for x86
  std::uint16_t resourceType = 10;  // RCDATA
  std::vector<std::pair<std::u16string, std::vector<std::uint8_t>>> resources;
  std::uint32_t certificateOffset = 0;  // the security directory entry
  std::uint32_t certificateSize = 0;
};

struct SyntheticPe {
  std::vector<std::uint8_t> bytes;  // ends exactly at the image end
  std::uint32_t directoryTable;     // file offset of the first data directory
  std::uint32_t sectionTable;       // file offset of the first section header
  std::uint32_t resourceRoot;       // file offset of the resource directory root
  std::uint32_t resourceRva;
};

// The resource section holds, from its start: the root directory (24
// bytes), the type's directory, the language directories, the data
// entries, the names, then the data.
SyntheticPe BuildPe(const PeContents& contents);

// Like the installer stub: zero-filled RCDATA "HLVID" (256 bytes) and
// "_HLV_VERIFY" (8 bytes).
std::vector<std::uint8_t> StubLikeImage(bool pe32Plus = false);

std::uint32_t ReadLe32(const std::vector<std::uint8_t>& bytes, std::size_t offset);
void WriteLe32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value);
void WriteLe16(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint16_t value);

}  // namespace testsupport
