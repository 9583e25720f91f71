// The installer stub as sfxpack takes it: a bare, unsigned image, PE32 for
// x86 or PE32+ for x64 or ARM64, with the 8-byte record "_HLV_VERIFY" that
// receives the final file size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/pe/PeImage.h"

namespace sfxpack {

// The kinds of stub: the processor's name on the command line and in
// reports, the installed file and what its image is.
struct StubKind {
  const char* architecture;  // "x86", "x64", "arm64"
  const char* label;         // for messages: "x86", "x64", "ARM64"
  const char* fileName;      // "setupsfx.exe", "setupsfx64.exe", "setupsfxarm64.exe"
  std::uint16_t magic;
  std::uint16_t machine;
};
const std::vector<StubKind>& StubKinds();
// The kind of the architecture; nullptr for a name that is none.
const StubKind* FindStubKind(const std::string& architecture);

struct StubImage {
  std::vector<std::uint8_t> bytes;  // the whole image, which is the whole file
  kestlib::PeImage image;           // of bytes, parsed once when they were taken
  std::string architecture;         // a StubKind's
  std::size_t verifyOffset = 0;     // file offset of the _HLV_VERIFY data
  std::size_t checksumOffset = 0;   // of the PE checksum, kept zero until the file is written
};

// The architecture of the stub kind the image is ("x86" for a PE32 image
// for x86, "x64" and "arm64" for PE32+ images for x86-64 and ARM64).
// Nothing for any other image; the caller refuses ARM64EC and ARM64X code
// (kestlib::FindHybridCode), which needs the bytes.
std::optional<std::string> StubArchitecture(const kestlib::PeImage& image);

// "PE32, x86", "PE32+, ARM64": what an image is, for messages and reports.
std::string ImageKind(const kestlib::PeImage& image);

// Reads the stub and refuses, with a message naming the problem, anything
// that is not a bare stub: no image of a stub kind, no 8-byte _HLV_VERIFY, a payload
// marker inside, or bytes behind the image (such as a signature).
StubImage LoadStub(const std::filesystem::path& path);

// Takes the image with rewritten resources, parses it and finds
// _HLV_VERIFY in it again; path names the stub in messages.
void ReplaceStubImage(StubImage& stub, std::vector<std::uint8_t> bytes, const std::filesystem::path& path);

// Stores the final size of the installer into the _HLV_VERIFY record.
void RecordFileSize(StubImage& stub, std::uint64_t size);

}  // namespace sfxpack
