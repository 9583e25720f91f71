// The installer stub as sfxpack takes it: a bare, unsigned image, PE32 for
// x86 or PE32+ for x64, with the 8-byte record "_HLV_VERIFY" that receives
// the final file size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/pe/PeImage.h"

namespace sfxpack {

struct StubImage {
  std::vector<std::uint8_t> bytes;  // the whole image, which is the whole file
  std::string architecture;         // "x86" or "x64"
  std::size_t verifyOffset = 0;     // file offset of the _HLV_VERIFY data
  std::size_t checksumOffset = 0;   // of the PE checksum, kept zero until the file is written
};

// "x86" for a PE32 image for x86, "x64" for a PE32+ image for x86-64: the
// two kinds of stub. Nothing for any other image.
std::optional<std::string> StubArchitecture(const kestlib::PeImage& image);

// "PE32, x86", "PE32+, ARM64": what an image is, for messages and reports.
std::string ImageKind(const kestlib::PeImage& image);

// Reads the stub and refuses, with a message naming the problem, anything
// that is not a bare stub: no image for x86 or x64, no 8-byte _HLV_VERIFY, a payload
// marker inside, or bytes behind the image (such as a signature).
StubImage LoadStub(const std::filesystem::path& path);

// Takes the image with rewritten resources and finds _HLV_VERIFY in it
// again; path names the stub in messages.
void ReplaceStubImage(StubImage& stub, std::vector<std::uint8_t> bytes, const std::filesystem::path& path);

// Stores the final size of the installer into the _HLV_VERIFY record.
void RecordFileSize(StubImage& stub, std::uint64_t size);

}  // namespace sfxpack
