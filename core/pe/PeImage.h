// Reader of PE images (PE32 and PE32+) held as bytes: headers, sections,
// data directories and the resource tree. Every offset, count and size comes
// from a possibly hostile file and is checked against the byte range before
// use. No Windows header, so it builds and tests on any machine; it works
// on a read-only file mapping as well as on file bytes in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestlib {

inline constexpr std::uint16_t kPe32Magic = 0x10B;
inline constexpr std::uint16_t kPe32PlusMagic = 0x20B;
inline constexpr std::uint16_t kMachineI386 = 0x14C;
inline constexpr std::uint16_t kMachineAmd64 = 0x8664;
inline constexpr std::uint16_t kMachineArm64 = 0xAA64;
inline constexpr unsigned kDirectoryResource = 2;
inline constexpr unsigned kDirectorySecurity = 4;
inline constexpr unsigned kDirectoryBaseRelocation = 5;
inline constexpr std::uint16_t kResourceTypeRcdata = 10;

enum class PeError {
  None,
  NoDosHeader,         // shorter than the 64-byte DOS header, or no "MZ"
  PeHeaderOutOfRange,  // the offset at 60 points outside the bytes
  NoPeSignature,       // no "PE\0\0" at that offset
  UnknownOptionalHeader,  // optional header too short, or neither PE32 nor PE32+
  SectionTableOutOfRange,
  BadAlignment,  // an alignment that is no power of two, or out of the PE format's range
};

// A short English description, for messages.
const char* DescribePeError(PeError error);

// "x86", "x64", "ARM64" and the like, or "machine 0x1234" for others.
std::string MachineName(std::uint16_t machine);

struct PeSection {
  std::string name;  // up to 8 characters, without the zero padding
  std::uint32_t virtualAddress = 0;
  std::uint32_t virtualSize = 0;
  std::uint32_t rawOffset = 0;  // PointerToRawData
  std::uint32_t rawSize = 0;    // SizeOfRawData
};

struct DataDirectory {
  std::uint32_t address = 0;  // an RVA, except for the security entry: a file offset
  std::uint32_t size = 0;
};

struct PeImage {
  std::uint32_t peOffset = 0;  // of the "PE\0\0" signature
  std::uint16_t machine = 0;
  std::uint16_t magic = 0;               // kPe32Magic or kPe32PlusMagic
  std::uint32_t optionalHeader = 0;      // file offset of the optional header
  std::uint32_t directoryTable = 0;      // file offset of the first data directory
  std::uint32_t sizeOfHeaders = 0;
  std::uint32_t sectionAlignment = 0;  // checked: powers of two, as the format allows
  std::uint32_t fileAlignment = 0;
  std::vector<PeSection> sections;
  std::vector<DataDirectory> directories;  // at most 16
};

// Parses the DOS header, the PE header, the optional header of a PE32 or
// PE32+ image and the section table; all of them must lie inside the bytes,
// and the alignments must be ones the format allows. Section
// raw data may lie beyond them (the caller may hold only a prefix of the
// file): compare ImageEnd with the size where that matters.
[[nodiscard]] PeError ParsePeImage(const std::uint8_t* data, std::size_t size, PeImage& image);

// The end of the raw data of the last section (at least the end of the
// headers): where anything appended to the image begins. 64-bit, since the
// sums of hostile 32-bit fields may exceed 32 bits.
std::uint64_t ImageEnd(const PeImage& image);

// Whether an image carries ARM64EC code, told by the hybrid metadata its
// load configuration names: an ARM64EC image (machine x64) or an ARM64X
// image (ARM64 and ARM64EC in one, machine ARM64). A configuration that
// does not lie in the bytes, or is too short to name the metadata, names
// none.
enum class HybridCode { None, Arm64EC, Arm64X };
HybridCode FindHybridCode(const std::uint8_t* data, std::size_t size, const PeImage& image);

// The data directory at index, or an empty one when the image has fewer.
DataDirectory GetDirectory(const PeImage& image, unsigned index);

// The certificate table (file offset and size), when the image is signed.
std::optional<DataDirectory> CertificateTable(const PeImage& image);

// File offset of the length bytes at rva, when all of them lie in the file
// data of one section.
std::optional<std::uint32_t> RvaToOffset(const PeImage& image, std::uint32_t rva,
                                         std::uint32_t length);

struct ResourceLocation {
  std::uint32_t offset = 0;  // in the file
  std::uint32_t size = 0;
};

// Finds the resource of the type id whose string name equals name, ASCII
// letters compared without case as Windows does, and returns its first
// language's data. The data lies inside the bytes when a location is
// returned; a missing or malformed resource gives nothing.
std::optional<ResourceLocation> LocateResource(const std::uint8_t* data, std::size_t size,
                                               const PeImage& image, std::uint16_t typeId,
                                               std::u16string_view name);

// The string names of the resources of the type id, in directory order;
// numeric ids and names that do not lie inside the tree are left out.
std::vector<std::u16string> ListResourceNames(const std::uint8_t* data, std::size_t size,
                                              const PeImage& image, std::uint16_t typeId);

// A level of the resource tree names its entries by a string or an id.
struct ResourceKey {
  std::uint16_t id = 0;
  std::u16string name;  // used when not empty
};

struct ResourceItem {
  ResourceKey type;
  ResourceKey name;
  std::uint16_t language = 0;
  std::uint32_t codePage = 0;
  ResourceLocation data;  // inside the bytes
};

// Every leaf of the resource tree in directory order: empty for an image
// without resources, nothing when a part of the tree or of its data lies
// outside the bytes or the tree is not three levels deep.
std::optional<std::vector<ResourceItem>> ListResources(const std::uint8_t* data, std::size_t size,
                                                       const PeImage& image);

}  // namespace kestlib
