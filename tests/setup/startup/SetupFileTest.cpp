#include "setup/startup/SetupFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "SyntheticPe.h"
#include "TempDir.h"
#include "kestlib/Holders.h"
#include "kestlib/localization/MemStringResources.h"
#include "core/pe/PeImage.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using testsupport::WriteLe32;

const std::wstring kReadText = L"The compressed setup file could not be read.";
const std::wstring kCorruptText =
    L"The setup file is corrupted. If you downloaded this file from the internet, please download it again.";
const std::wstring kSizeFormat = L"Expected file size: %I64d\nActual file size: %I64d";

// The stub's unsigned image with its size record set to value.
Bytes WithSizeRecord(Bytes image, std::uint64_t value) {
  kestlib::PeImage pe;
  EXPECT_EQ(kestlib::ParsePeImage(image.data(), image.size(), pe), kestlib::PeError::None);
  const auto record = kestlib::LocateResource(image.data(), image.size(), pe, 10, u"_HLV_VERIFY");
  EXPECT_TRUE(record && record->size == 8);
  if (!record) return image;
  for (std::size_t i = 0; i < 8; ++i) image[record->offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
  return image;
}

// An installer: the image, then a payload; its record holds the full size.
Bytes CompleteInstaller(std::size_t payloadSize = 5000) {
  Bytes image = testsupport::StubLikeImage();
  const std::uint64_t total = image.size() + payloadSize;
  image.resize(total, 0x5A);
  return WithSizeRecord(std::move(image), total);
}

std::wstring SizeLines(unsigned long long expected, unsigned long long actual) {
  return L"Expected file size: " + std::to_wstring(expected) + L"\nActual file size: " + std::to_wstring(actual);
}

class SetupFileTest : public ::testing::Test {
 protected:
  SetupFileTest() {
    m_strings.SetString(L"SfxErrorReadArchive", kReadText);
    m_strings.SetString(L"SfxErrorBadArchive", kCorruptText);
    m_strings.SetString(L"ErrorSize", kSizeFormat);
  }

  std::wstring Check(const Bytes& bytes) {
    const auto path = m_dir / L"setup.exe";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return SetupFileError(path.wstring(), m_strings);
  }

  kestlib::MemStringResources m_strings;
  testsupport::TempDir m_dir;
};

TEST_F(SetupFileTest, CompleteUnsignedFileIsAccepted) {
  EXPECT_EQ(Check(CompleteInstaller()), L"");
}

TEST_F(SetupFileTest, CutOffFileShowsBothSizes) {
  Bytes file = CompleteInstaller();
  const std::size_t full = file.size();
  file.resize(full - 1000);
  EXPECT_EQ(Check(file), kCorruptText + L"\n\n" + SizeLines(full, full - 1000));
}

TEST_F(SetupFileTest, AppendedBytesAreRefused) {
  Bytes file = CompleteInstaller();
  const std::size_t full = file.size();
  file.resize(full + 3);
  EXPECT_EQ(Check(file), kCorruptText + L"\n\n" + SizeLines(full, full + 3));
}

TEST_F(SetupFileTest, SizesBeyond32BitsArePrintedWhole) {
  const Bytes file = WithSizeRecord(testsupport::StubLikeImage(), 0x123456789ABull);
  EXPECT_EQ(Check(file), kCorruptText + L"\n\n" + SizeLines(0x123456789ABull, file.size()));
}

TEST_F(SetupFileTest, MissingSizeRecordIsReported) {
  testsupport::PeContents contents;
  contents.resources = {{u"HLVID", Bytes(256)}};
  EXPECT_EQ(Check(testsupport::BuildPe(contents).bytes), L"Resource _HLV_VERIFY is not found.");
}

TEST_F(SetupFileTest, SizeRecordOfAnotherLengthIsReported) {
  testsupport::PeContents contents;
  contents.resources = {{u"_HLV_VERIFY", Bytes(4)}};
  EXPECT_EQ(Check(testsupport::BuildPe(contents).bytes), L"Resource _HLV_VERIFY is not found.");
  contents.resources = {{u"_HLV_VERIFY", Bytes(16)}};
  EXPECT_EQ(Check(testsupport::BuildPe(contents).bytes), L"Resource _HLV_VERIFY is not found.");
}

TEST_F(SetupFileTest, FileWithoutMzIsNoExe) {
  Bytes file = CompleteInstaller();
  file[0] = 'Z';
  EXPECT_EQ(Check(file), L"File does not have EXE format.");
  EXPECT_EQ(Check({}), L"File does not have EXE format.");
  EXPECT_EQ(Check({'M'}), L"File does not have EXE format.");
}

TEST_F(SetupFileTest, BadPeSignatureIsRefused) {
  Bytes file = CompleteInstaller();
  file[testsupport::ReadLe32(file, 60) + 1] = 'X';
  EXPECT_EQ(Check(file), L"Invalid PE signature.");
}

TEST_F(SetupFileTest, FileTooShortForThePeOffsetIsRefused) {
  EXPECT_EQ(Check({'M', 'Z'}), L"Invalid PE signature.");
  EXPECT_EQ(Check(Bytes{'M', 'Z', 0, 0, 0, 0}), L"Invalid PE signature.");
}

TEST_F(SetupFileTest, PeOffsetOutsideTheFileIsRefused) {
  Bytes file = CompleteInstaller();
  WriteLe32(file, 60, 0xFFFFFFFC);
  EXPECT_EQ(Check(file), L"Invalid PE signature.");
}

TEST_F(SetupFileTest, PeOffsetBeyondTheFirstMebibyteIsRefused) {
  // A genuine-looking header past the first MiB is not looked at.
  Bytes file = CompleteInstaller(0x100000);
  const std::uint32_t oldHeader = testsupport::ReadLe32(file, 60);
  const std::size_t newHeader = 0x100010;
  std::copy(file.begin() + oldHeader, file.begin() + oldHeader + 0x200, file.begin() + newHeader);
  WriteLe32(file, 60, static_cast<std::uint32_t>(newHeader));
  EXPECT_EQ(Check(file), L"Invalid PE signature.");
}

TEST_F(SetupFileTest, HeaderThatEndsAtTheSignatureHasNoSizeRecord) {
  Bytes file(64, 0);
  file[0] = 'M';
  file[1] = 'Z';
  WriteLe32(file, 60, 64);
  file.insert(file.end(), {'P', 'E', 0, 0});
  EXPECT_EQ(Check(file), L"Invalid PE signature.");
}

TEST_F(SetupFileTest, SignedFileIsMeasuredByItsCertificateTable) {
  // The signature follows the payload, aligned to 8; no size record needed.
  testsupport::PeContents contents;
  contents.resources = {{u"HLVID", Bytes(256)}};
  Bytes file = testsupport::BuildPe(contents).bytes;
  file.resize((file.size() + 3000 + 7) / 8 * 8, 0x5A);
  const std::uint32_t header = testsupport::ReadLe32(file, 60);
  WriteLe32(file, header + 152, static_cast<std::uint32_t>(file.size()));
  WriteLe32(file, header + 156, 1024);
  file.resize(file.size() + 1024, 0xCE);
  EXPECT_EQ(Check(file), L"");

  const std::size_t full = file.size();
  file.resize(full - 100);
  EXPECT_EQ(Check(file), kCorruptText + L"\n\n" + SizeLines(full, full - 100));
  file.resize(full + 8, 0);
  EXPECT_EQ(Check(file), kCorruptText + L"\n\n" + SizeLines(full, full + 8));
}

TEST_F(SetupFileTest, CertificateEntryThatWouldWrapIsNotTakenAsTheSize) {
  // 0xFFFFFF00 + 0x100 + n would wrap to n in 32 bits: n is the actual size.
  Bytes file = CompleteInstaller();
  const std::uint32_t header = testsupport::ReadLe32(file, 60);
  WriteLe32(file, header + 152, 0xFFFFFF00);
  WriteLe32(file, header + 156, static_cast<std::uint32_t>(0x100 + file.size()));
  EXPECT_EQ(Check(file), kCorruptText + L"\n\n" + SizeLines(0x100000000ull + file.size(), file.size()));
}

TEST_F(SetupFileTest, UnreadableFileGivesTheReadErrorWithItsCode) {
  EXPECT_EQ(SetupFileError((m_dir / L"absent.exe").wstring(), m_strings), kReadText + L" (-2147024894)");
}

TEST_F(SetupFileTest, FileHeldWithoutSharingGivesTheSharingViolation) {
  const Bytes file = CompleteInstaller();
  ASSERT_EQ(Check(file), L"");
  const auto path = m_dir / L"setup.exe";
  const kestlib::UniqueFile holder(
      CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(holder);
  EXPECT_EQ(SetupFileError(path.wstring(), m_strings), kReadText + L" (-2147024864)");
}

}  // namespace
