#include "core/pe/PeImage.h"
#include "core/pe/PeChecksum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "SyntheticPe.h"

using namespace kestlib;
using namespace testsupport;

namespace {

constexpr std::size_t kOptionalHeader = 0x80 + 24;
const std::vector<std::uint8_t> kVerifyData = {1, 2, 3, 4, 5, 6, 7, 8};

SyntheticPe Image() {
  PeContents contents;
  contents.resources = {{u"HLVID", std::vector<std::uint8_t>(256, 'x')},
                        {u"_HLV_VERIFY", kVerifyData}};
  return BuildPe(contents);
}

PeError Parse(const std::vector<std::uint8_t>& bytes, std::size_t size = SIZE_MAX) {
  PeImage image;
  return ParsePeImage(bytes.data(), std::min(size, bytes.size()), image);
}

PeImage Parsed(const std::vector<std::uint8_t>& bytes) {
  PeImage image;
  EXPECT_EQ(ParsePeImage(bytes.data(), bytes.size(), image), PeError::None);
  return image;
}

std::optional<ResourceLocation> Locate(const std::vector<std::uint8_t>& bytes,
                                       std::u16string_view name, std::uint16_t type = 10) {
  return LocateResource(bytes.data(), bytes.size(), Parsed(bytes), type, name);
}

// File offset of the index-th entry of the type's name directory.
std::size_t NameEntry(const SyntheticPe& pe, unsigned index) {
  return pe.resourceRoot + (ReadLe32(pe.bytes, pe.resourceRoot + 20) & 0x7FFFFFFF) + 16 + 8 * index;
}

TEST(ParsePeImage, ReadsHeadersSectionsAndDirectories) {
  const PeImage image = Parsed(Image().bytes);
  EXPECT_EQ(image.machine, kMachineI386);
  ASSERT_EQ(image.sections.size(), 2u);
  EXPECT_EQ(image.sections[1].name, ".rsrc");
  EXPECT_EQ(image.directories.size(), 16u);
}

TEST(ParsePeImage, RefusesTruncatedOrForeignHeaders) {
  auto bytes = Image().bytes;
  EXPECT_EQ(Parse(bytes, 63), PeError::NoDosHeader);
  EXPECT_EQ(Parse(bytes, 0x80 + 10), PeError::PeHeaderOutOfRange);
  EXPECT_EQ(Parse(bytes, kOptionalHeader + 100), PeError::UnknownOptionalHeader);
  WriteLe32(bytes, 60, 0xFFFFFFFEu);  // would wrap a 32-bit sum
  EXPECT_EQ(Parse(bytes), PeError::PeHeaderOutOfRange);
  WriteLe32(bytes, 60, 0x84);
  EXPECT_EQ(Parse(bytes), PeError::NoPeSignature);
}

TEST(ParsePeImage, ReadsPe32PlusWithItsResourcesAndCertificateTable) {
  PeContents contents;
  contents.pe32Plus = true;
  contents.resources = {{u"_HLV_VERIFY", kVerifyData}};
  contents.certificateOffset = 0x1234;
  contents.certificateSize = 0x100;
  const auto bytes = BuildPe(contents).bytes;
  const PeImage image = Parsed(bytes);
  EXPECT_EQ(image.machine, kMachineAmd64);
  EXPECT_EQ(image.magic, kPe32PlusMagic);
  EXPECT_EQ(image.directories.size(), 16u);
  ASSERT_TRUE(CertificateTable(image));
  EXPECT_EQ(CertificateTable(image)->address, 0x1234u);
  const auto verify = Locate(bytes, u"_HLV_VERIFY");
  ASSERT_TRUE(verify);
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + verify->offset, bytes.begin() + verify->offset + 8), kVerifyData);
}

TEST(ParsePeImage, RefusesUnknownOptionalHeaderAndHugeSectionCount) {
  auto rom = Image().bytes;
  WriteLe16(rom, kOptionalHeader, 0x107);  // a ROM image
  EXPECT_EQ(Parse(rom), PeError::UnknownOptionalHeader);
  auto shortPlus = Image().bytes;  // a PE32 header's size is too short for PE32+
  WriteLe16(shortPlus, kOptionalHeader, 0x20B);
  WriteLe16(shortPlus, 0x80 + 20, 100);
  EXPECT_EQ(Parse(shortPlus), PeError::UnknownOptionalHeader);
  auto sections = Image().bytes;
  WriteLe16(sections, 0x80 + 6, 0xFFFF);
  EXPECT_EQ(Parse(sections), PeError::SectionTableOutOfRange);
}

// Sizes rounded up to them would reach gigabytes before anything is checked.
TEST(ParsePeImage, RefusesAlignmentsThePeFormatDoesNotAllow) {
  const std::pair<std::uint32_t, std::uint32_t> alignments[] = {  // section, file
      {0, 0xFFFF0000u}, {0x1000, 0}, {0x1000, 0x300}, {0x1000, 0x100}, {0x20000, 0x20000}, {0x100, 0x200}, {0x1800, 0x200}};
  for (const auto& [section, file] : alignments) {
    auto bytes = Image().bytes;
    WriteLe32(bytes, kOptionalHeader + 32, section);
    WriteLe32(bytes, kOptionalHeader + 36, file);
    EXPECT_EQ(Parse(bytes), PeError::BadAlignment) << section << ", " << file;
  }
  auto large = Image().bytes;
  WriteLe32(large, kOptionalHeader + 32, 0x10000);
  WriteLe32(large, kOptionalHeader + 36, 0x10000);
  EXPECT_EQ(Parse(large), PeError::None);
}

TEST(ParsePeImage, TakesNoMoreDirectoriesThanTheHeaderHolds) {
  auto bytes = Image().bytes;
  WriteLe32(bytes, kOptionalHeader + 92, 0xFFFFFFFFu);
  EXPECT_EQ(Parsed(bytes).directories.size(), 16u);
  WriteLe16(bytes, 0x80 + 20, 96 + 3 * 8);
  EXPECT_EQ(Parsed(bytes).directories.size(), 3u);
}

TEST(ImageEnd, IsEndOfLastSectionRawDataEvenBeyondAPrefix) {
  const SyntheticPe pe = Image();
  PeImage headersOnly;
  ASSERT_EQ(ParsePeImage(pe.bytes.data(), 0x200, headersOnly), PeError::None);
  EXPECT_EQ(ImageEnd(headersOnly), pe.bytes.size());
}

TEST(ImageEnd, SkipsSectionsWithoutRawDataAndNeverWraps) {
  SyntheticPe pe = Image();
  WriteLe32(pe.bytes, pe.sectionTable + 40 + 16, 0);  // .rsrc without raw data
  WriteLe32(pe.bytes, pe.sectionTable + 40 + 20, 0x7FFF0000);
  EXPECT_EQ(ImageEnd(Parsed(pe.bytes)), 0x400u);
  WriteLe32(pe.bytes, pe.sectionTable + 16, 0xFFFFFFFFu);
  WriteLe32(pe.bytes, pe.sectionTable + 20, 0xFFFFFFFFu);
  EXPECT_EQ(ImageEnd(Parsed(pe.bytes)), 0x1FFFFFFFEull);
}

TEST(CertificateTable, ReportsFileOffsetAndSizeOfSignedImage) {
  EXPECT_FALSE(CertificateTable(Parsed(Image().bytes)));
  PeContents contents;
  contents.certificateOffset = 0x123458;
  contents.certificateSize = 0x1A00;
  const auto table = CertificateTable(Parsed(BuildPe(contents).bytes));
  ASSERT_TRUE(table);
  EXPECT_EQ(table->address, 0x123458u);
  EXPECT_EQ(table->size, 0x1A00u);
}

TEST(RvaToOffset, MapsOnlyRangesInsideOneSectionsFileData) {
  const SyntheticPe pe = Image();
  const PeImage image = Parsed(pe.bytes);
  EXPECT_EQ(RvaToOffset(image, pe.resourceRva + 4, 4), pe.resourceRoot + 4);
  EXPECT_FALSE(RvaToOffset(image, 0x500, 4));           // in no section
  EXPECT_FALSE(RvaToOffset(image, 0x1000 + 0xE, 4));    // crosses the end of .text's 16 bytes
  EXPECT_FALSE(RvaToOffset(image, 0xFFFFFFF0u, 0x20));  // wraps
}

TEST(LocateResource, FindsNamedRcdata) {
  const auto bytes = Image().bytes;
  const auto found = Locate(bytes, u"_HLV_VERIFY");
  ASSERT_TRUE(found);
  ASSERT_EQ(found->size, 8u);
  EXPECT_TRUE(std::equal(kVerifyData.begin(), kVerifyData.end(), bytes.begin() + found->offset));
}

TEST(LocateResource, MatchesWholeNameIgnoringAsciiCase) {
  const auto bytes = Image().bytes;
  EXPECT_EQ(Locate(bytes, u"_hlv_Verify")->size, 8u);
  EXPECT_EQ(Locate(bytes, u"hlvid")->size, 256u);
  EXPECT_FALSE(Locate(bytes, u"_HLV_VERIF"));
  EXPECT_FALSE(Locate(bytes, u"_HLV_VERIFYX"));
}

TEST(LocateResource, LooksOnlyInTheGivenTypeOfAResourceDirectory) {
  auto bytes = Image().bytes;
  EXPECT_FALSE(Locate(bytes, u"_HLV_VERIFY", 16));
  WriteLe32(bytes, kOptionalHeader + 96 + 16, 0x9000);  // resource directory in no section
  EXPECT_FALSE(Locate(bytes, u"_HLV_VERIFY"));
}

TEST(LocateResource, EndsOnDirectoryLoops) {
  SyntheticPe typeLoop = Image();
  WriteLe32(typeLoop.bytes, typeLoop.resourceRoot + 20, 0x80000000u);  // type -> root
  EXPECT_FALSE(Locate(typeLoop.bytes, u"_HLV_VERIFY"));
  SyntheticPe languageLoop = Image();
  WriteLe32(languageLoop.bytes, NameEntry(languageLoop, 1) + 4, 0x80000000u);  // name -> root
  EXPECT_FALSE(Locate(languageLoop.bytes, u"_HLV_VERIFY"));
}

TEST(LocateResource, RefusesTreeOffsetsOutOfRange) {
  for (std::uint32_t field : {0u, 4u}) {  // the name's offset, the subdirectory's
    SyntheticPe pe = Image();
    WriteLe32(pe.bytes, NameEntry(pe, 1) + field, 0xFFFFFFF0u);
    EXPECT_FALSE(Locate(pe.bytes, u"_HLV_VERIFY")) << field;
  }
  SyntheticPe longName = Image();
  const std::uint32_t name = ReadLe32(longName.bytes, NameEntry(longName, 1)) & 0x7FFFFFFF;
  WriteLe16(longName.bytes, longName.resourceRoot + name, 0xFFFF);
  EXPECT_FALSE(Locate(longName.bytes, u"_HLV_VERIFY"));
}

TEST(LocateResource, RefusesDirectoryRunningPastTheSection) {
  // Bytes behind the image, as in an installer, must not count as entries.
  SyntheticPe pe = Image();
  pe.bytes.resize(pe.bytes.size() + 0x100000);
  ASSERT_TRUE(Locate(pe.bytes, u"_HLV_VERIFY"));
  WriteLe16(pe.bytes, pe.resourceRoot + 14, 0xFFFF);
  EXPECT_FALSE(Locate(pe.bytes, u"_HLV_VERIFY"));
}

TEST(LocateResource, RefusesDataOutsideTheFile) {
  for (std::uint32_t field : {0u, 4u}) {  // the data's RVA, its size
    SyntheticPe pe = Image();
    const std::size_t language =
        pe.resourceRoot + (ReadLe32(pe.bytes, NameEntry(pe, 1) + 4) & 0x7FFFFFFF);
    WriteLe32(pe.bytes, pe.resourceRoot + ReadLe32(pe.bytes, language + 20) + field, 0xFFFFFFF0u);
    EXPECT_FALSE(Locate(pe.bytes, u"_HLV_VERIFY")) << field;
  }
}

TEST(LocateResource, StaysInsideATruncatedFile) {
  const SyntheticPe pe = Image();
  for (std::size_t cut = pe.resourceRoot; cut < pe.bytes.size(); cut += 8) {
    PeImage image;
    ASSERT_EQ(ParsePeImage(pe.bytes.data(), cut, image), PeError::None);
    const auto found = LocateResource(pe.bytes.data(), cut, image, 10, u"_HLV_VERIFY");
    if (found) {
      EXPECT_LE(std::size_t{found->offset} + found->size, cut);
    }
  }
}

TEST(ListResourceNames, GivesStringNamesInDirectoryOrder) {
  PeContents contents;
  contents.resources = {{u"HLVID", {0}}, {u"_HLV_VERIFY", kVerifyData}, {u"HV_X", {0}}};
  const auto bytes = BuildPe(contents).bytes;
  const std::vector<std::u16string> expected = {u"HLVID", u"_HLV_VERIFY", u"HV_X"};
  EXPECT_EQ(ListResourceNames(bytes.data(), bytes.size(), Parsed(bytes), 10), expected);
  EXPECT_TRUE(ListResourceNames(bytes.data(), bytes.size(), Parsed(bytes), 16).empty());
}

TEST(ListResourceNames, LeavesOutNumericIdsAndNamesOutOfRange) {
  SyntheticPe pe = Image();
  WriteLe32(pe.bytes, NameEntry(pe, 0), 7);  // "HLVID" becomes id 7
  const std::vector<std::u16string> verifyOnly = {u"_HLV_VERIFY"};
  EXPECT_EQ(ListResourceNames(pe.bytes.data(), pe.bytes.size(), Parsed(pe.bytes), 10), verifyOnly);
  WriteLe32(pe.bytes, NameEntry(pe, 1), 0xFFFFFFF0u);
  EXPECT_TRUE(ListResourceNames(pe.bytes.data(), pe.bytes.size(), Parsed(pe.bytes), 10).empty());
  WriteLe16(pe.bytes, pe.resourceRoot + 14, 0xFFFF);  // the root directory runs past the section
  EXPECT_TRUE(ListResourceNames(pe.bytes.data(), pe.bytes.size(), Parsed(pe.bytes), 10).empty());
}

}  // namespace

namespace {

std::uint32_t ChecksumOf(const std::vector<std::uint8_t>& bytes, std::size_t piece) {
  kestlib::PeChecksum checksum;
  for (std::size_t at = 0; at < bytes.size(); at += piece)
    checksum.Add(bytes.data() + at, std::min(piece, bytes.size() - at));
  return checksum.Finish();
}

// Words of the file summed with end-around carry, plus its length; a file
// written in pieces of odd sizes gives the same sum.
TEST(PeChecksumTest, SumsWordsWithCarryAndAddsTheLength) {
  const std::pair<std::vector<std::uint8_t>, std::uint32_t> cases[] = {
      {{}, 0},
      {{0x01, 0x02, 0x03}, 0x0201 + 0x0003 + 3},
      {{0xFF, 0xFF, 0x01, 0x00}, 0x0001 + 4},
      {std::vector<std::uint8_t>(0x30001, 0xFF), 0x00FF + 0x30001},
  };
  for (const auto& [bytes, expected] : cases)
    for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{4096}})
      EXPECT_EQ(ChecksumOf(bytes, piece), expected) << bytes.size() << " bytes in pieces of " << piece;
}

}  // namespace
