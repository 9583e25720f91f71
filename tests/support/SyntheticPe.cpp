#include "SyntheticPe.h"

#include <algorithm>
#include <string_view>

namespace testsupport {
namespace {

constexpr std::uint32_t kPeOffset = 0x80;
constexpr std::uint32_t kOptionalHeader = kPeOffset + 24;
// Both kinds of optional header with all 16 data directories.
constexpr std::uint32_t kPe32DirectoryTable = kOptionalHeader + 96;
constexpr std::uint32_t kPe32PlusDirectoryTable = kOptionalHeader + 112;
constexpr std::uint32_t kAlignment = 0x200;  // file alignment; the headers' size
constexpr std::uint32_t kRsrcOffset = 2 * kAlignment;  // behind one block of code
constexpr std::uint32_t kRsrcRva = 0x2000;
constexpr std::uint32_t kHigh = 0x80000000u;  // a name offset or a subdirectory

std::uint32_t AlignUp(std::size_t value, std::uint32_t alignment) {
  return static_cast<std::uint32_t>((value + alignment - 1) / alignment * alignment);
}

std::vector<std::uint8_t> ResourceSection(const PeContents& contents) {
  const auto& resources = contents.resources;
  const auto n = static_cast<std::uint32_t>(resources.size());
  const std::uint32_t typeDir = 24, languageDirs = typeDir + 16 + 8 * n;
  const std::uint32_t dataEntries = languageDirs + 24 * n;
  std::uint32_t name = dataEntries + 16 * n;
  std::vector<std::uint8_t> s(name);
  for (const auto& r : resources) s.resize(s.size() + 2 + 2 * r.first.size());
  WriteLe16(s, 14, 1);
  WriteLe32(s, 16, contents.resourceType);
  WriteLe32(s, 20, kHigh | typeDir);
  WriteLe16(s, typeDir + 12, static_cast<std::uint16_t>(n));
  for (std::uint32_t i = 0; i < n; ++i) {
    const std::uint32_t language = languageDirs + 24 * i, entry = dataEntries + 16 * i;
    const auto& [text, data] = resources[i];
    WriteLe32(s, typeDir + 16 + 8 * i, kHigh | name);
    WriteLe32(s, typeDir + 20 + 8 * i, kHigh | language);
    WriteLe16(s, language + 14, 1);
    WriteLe32(s, language + 16, 0x409);
    WriteLe32(s, language + 20, entry);
    WriteLe16(s, name, static_cast<std::uint16_t>(text.size()));
    for (std::size_t k = 0; k < text.size(); ++k) WriteLe16(s, name + 2 + 2 * k, text[k]);
    name += 2 + 2 * static_cast<std::uint32_t>(text.size());
    s.resize(AlignUp(s.size(), 8));
    WriteLe32(s, entry, kRsrcRva + static_cast<std::uint32_t>(s.size()));
    WriteLe32(s, entry + 4, static_cast<std::uint32_t>(data.size()));
    s.insert(s.end(), data.begin(), data.end());
  }
  return s;
}

void WriteSection(std::vector<std::uint8_t>& b, std::size_t o, std::string_view name,
                  std::uint32_t rva, std::uint32_t virtualSize, std::uint32_t rawOffset) {
  std::copy(name.begin(), name.end(), b.begin() + o);
  WriteLe32(b, o + 8, virtualSize);
  WriteLe32(b, o + 12, rva);
  WriteLe32(b, o + 16, AlignUp(virtualSize, kAlignment));
  WriteLe32(b, o + 20, rawOffset);
}

void WriteHeaders(std::vector<std::uint8_t>& b, const PeContents& contents,
                  std::uint32_t rsrcSize) {
  b[0] = 'M';
  b[1] = 'Z';
  WriteLe32(b, 60, kPeOffset);
  WriteLe32(b, kPeOffset, 0x00004550);                // "PE\0\0"
  const std::uint32_t directories = contents.pe32Plus ? kPe32PlusDirectoryTable : kPe32DirectoryTable;
  const std::uint32_t sectionTable = directories + 16 * 8;
  WriteLe16(b, kPeOffset + 4, contents.pe32Plus ? 0x8664 : 0x14C);  // x64 or i386
  WriteLe16(b, kPeOffset + 6, 2);                                     // sections
  WriteLe16(b, kPeOffset + 20, static_cast<std::uint16_t>(sectionTable - kOptionalHeader));
  WriteLe16(b, kOptionalHeader, contents.pe32Plus ? 0x20B : 0x10B);
  WriteLe32(b, kOptionalHeader + 32, 0x1000);      // SectionAlignment
  WriteLe32(b, kOptionalHeader + 36, kAlignment);  // FileAlignment
  WriteLe32(b, kOptionalHeader + 60, kAlignment);  // SizeOfHeaders
  WriteLe32(b, directories - 4, 16);               // NumberOfRvaAndSizes
  WriteLe32(b, directories + 2 * 8, kRsrcRva);
  WriteLe32(b, directories + 2 * 8 + 4, rsrcSize);
  WriteLe32(b, directories + 4 * 8, contents.certificateOffset);
  WriteLe32(b, directories + 4 * 8 + 4, contents.certificateSize);
  WriteSection(b, sectionTable, ".text", 0x1000, 0x10, kAlignment);
  WriteSection(b, sectionTable + 40, ".rsrc", kRsrcRva, rsrcSize, kRsrcOffset);
}

}  // namespace

SyntheticPe BuildPe(const PeContents& contents) {
  const std::vector<std::uint8_t> rsrc = ResourceSection(contents);
  const auto rsrcSize = static_cast<std::uint32_t>(rsrc.size());
  std::vector<std::uint8_t> bytes(kRsrcOffset + AlignUp(rsrcSize, kAlignment));
  WriteHeaders(bytes, contents, rsrcSize);
  std::copy(rsrc.begin(), rsrc.end(), bytes.begin() + kRsrcOffset);
  const std::uint32_t directories = contents.pe32Plus ? kPe32PlusDirectoryTable : kPe32DirectoryTable;
  return SyntheticPe{std::move(bytes), directories, directories + 16 * 8, kRsrcOffset, kRsrcRva};
}

std::vector<std::uint8_t> StubLikeImage(bool pe32Plus) {
  PeContents contents;
  contents.pe32Plus = pe32Plus;
  contents.resources = {{u"HLVID", std::vector<std::uint8_t>(256)},
                    {u"_HLV_VERIFY", std::vector<std::uint8_t>(8)}};
  return BuildPe(contents).bytes;
}

std::uint32_t ReadLe32(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (std::size_t i = 4; i-- > 0;) value = value << 8 | bytes.at(offset + i);
  return value;
}

void WriteLe32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i)
    bytes.at(offset + i) = static_cast<std::uint8_t>(value >> (8 * i));
}

void WriteLe16(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint16_t value) {
  bytes.at(offset) = static_cast<std::uint8_t>(value);
  bytes.at(offset + 1) = static_cast<std::uint8_t>(value >> 8);
}

}  // namespace testsupport
