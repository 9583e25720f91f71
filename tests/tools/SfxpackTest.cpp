#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <numeric>

#include <boost/json.hpp>

#include "Errors.h"
#include "Inspect.h"
#include "Layout.h"
#include "core/payload/PayloadFormat.h"
#include "core/pe/PeChecksum.h"
#include "core/pe/PeImage.h"
#include "SfxpackFixture.h"
#include "SyntheticPe.h"

namespace sfxtest {
namespace {

using testsupport::StubLikeImage;

const std::size_t kImageSize = StubLikeImage().size();

std::vector<std::uint8_t> BlockOf(const fs::path& installer) {
  const auto bytes = ReadBytes(installer);
  const auto block = payload::FindConfigBlock(bytes.data(), bytes.size());
  EXPECT_TRUE(block);
  return block ? std::vector<std::uint8_t>(bytes.begin() + block->offset,
                                           bytes.begin() + block->offset + block->length)
               : std::vector<std::uint8_t>{};
}

std::vector<std::uint8_t> StubWith(const std::string& code) {
  auto bytes = StubLikeImage();
  std::copy(code.begin(), code.end(), bytes.begin() + 0x210);
  return bytes;
}

std::vector<std::uint8_t> StubWithVerifySize(std::size_t size) {
  testsupport::PeContents contents;
  contents.resources = {{u"HLVID", std::vector<std::uint8_t>(256)}};
  if (size) contents.resources.push_back({u"_HLV_VERIFY", std::vector<std::uint8_t>(size)});
  return testsupport::BuildPe(contents).bytes;
}

TEST_F(SfxpackTest, Build_WritesImageMarkersBlockAndArchive) {
  ASSERT_EQ(Build(), 0) << err_.str();
  const auto bytes = ReadBytes(output_);
  const auto stub = StubLikeImage();
  const auto start = payload::MakeStartMarker();
  const auto archive = FakeArchive();
  EXPECT_LE(std::inner_product(stub.begin(), stub.end(), bytes.begin(), 0, std::plus<>(),
                               std::not_equal_to<>()),
            8);  // only the size record changes
  EXPECT_TRUE(std::equal(start.begin(), start.end(), bytes.begin() + kImageSize));
  EXPECT_TRUE(std::equal(archive.begin(), archive.end(), bytes.end() - archive.size()));

  const sfxpack::InstallerReport report = sfxpack::ReadInstaller(output_);
  EXPECT_EQ(report.blockOffset, kImageSize + payload::kStartMarkerSize);
  EXPECT_EQ(report.archiveOffset, bytes.size() - archive.size());
  EXPECT_EQ(report.verifyValue, bytes.size());
  EXPECT_EQ(report.configText, kConfig);
  EXPECT_NE(out_.str().find(std::to_string(bytes.size()) + " bytes"), std::string::npos);
}

// Tools that check an image's checksum (drivers' loaders, some scanners)
// see the packed file's, not the stub's.
TEST_F(SfxpackTest, Build_RecordsThePeChecksumOfTheWholeFile) {
  ASSERT_EQ(Build(), 0) << err_.str();
  std::vector<std::uint8_t> bytes = ReadBytes(output_);
  kestlib::PeImage image;
  ASSERT_EQ(kestlib::ParsePeImage(bytes.data(), bytes.size(), image), kestlib::PeError::None);
  const std::size_t field = image.optionalHeader + kestlib::kChecksumFieldOffset;
  const std::uint32_t recorded = bytes[field] | bytes[field + 1] << 8 | bytes[field + 2] << 16 |
                                 static_cast<std::uint32_t>(bytes[field + 3]) << 24;
  std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(field), 4, 0);
  kestlib::PeChecksum checksum;
  checksum.Add(bytes.data(), bytes.size());
  EXPECT_EQ(recorded, checksum.Finish());
  EXPECT_NE(recorded, 0u);
}

TEST_F(SfxpackTest, Build_UsesFreshIvEachTime) {
  ASSERT_EQ(Build(), 0) << err_.str();
  const auto first = BlockOf(output_);
  ASSERT_EQ(Build(), 0) << err_.str();
  const auto second = BlockOf(output_);
  EXPECT_NE(first, second);
  EXPECT_EQ(payload::DecipherBlock(first.data(), first.size()), kConfig);
  EXPECT_EQ(payload::DecipherBlock(second.data(), second.size()), kConfig);
}

TEST_F(SfxpackTest, Build_RemovesByteOrderMarkWithNote) {
  WriteText(config_, std::string("\xEF\xBB\xBF") + kConfig);
  ASSERT_EQ(Build(), 0) << err_.str();
  EXPECT_NE(err_.str().find("note: removed the UTF-8 byte-order mark"), std::string::npos);
  EXPECT_EQ(sfxpack::ReadInstaller(output_).configText, kConfig);
}

TEST_F(SfxpackTest, Build_HandlesNonAsciiPathsAndText) {
  const std::string text = "[main]\nTitle=Установка – 製品\n";
  const fs::path folder = Path("Prüfung Ωmega");
  fs::create_directory(folder);
  fs::copy_file(stub_, folder / fs::u8path("stüb.exe"));
  fs::copy_file(archive_, folder / fs::u8path("päyload.7z"));
  WriteText(folder / fs::u8path("конфиг.txt"), text);
  stub_ = folder / fs::u8path("stüb.exe");
  archive_ = folder / fs::u8path("päyload.7z");
  config_ = folder / fs::u8path("конфиг.txt");
  output_ = folder / fs::u8path("Setüp.exe");
  ASSERT_EQ(Build(), 0) << err_.str();
  EXPECT_EQ(sfxpack::ReadInstaller(output_).configText, text);
}

TEST_F(SfxpackTest, Build_ReplacesOutputOnlyWhenComplete) {
  WriteText(output_, "an older installer");
  const auto older = ReadBytes(output_);
  WriteText(archive_, "not an archive");
  EXPECT_EQ(Build(), 1);
  EXPECT_EQ(ReadBytes(output_), older);
  EXPECT_EQ(FolderContents().size(), inputs_.size() + 1);  // no temporary left
  WriteBytes(archive_, FakeArchive());
  ASSERT_EQ(Build(), 0) << err_.str();
  EXPECT_EQ(sfxpack::ReadInstaller(output_).configText, kConfig);
}

#ifdef SETUPSFX_STUB
TEST_F(SfxpackTest, Build_AcceptsTheRealStub) {
  fs::copy_file(SETUPSFX_STUB, stub_, fs::copy_options::overwrite_existing);
  ASSERT_EQ(Build(), 0) << err_.str();
  const sfxpack::InstallerReport report = sfxpack::ReadInstaller(output_);
  EXPECT_EQ(report.imageEnd, fs::file_size(stub_));
  EXPECT_EQ(report.verifyValue, fs::file_size(output_));
  EXPECT_EQ(report.configText, kConfig);
}
#endif

TEST_F(SfxpackTest, Build_TakesEachStubAndInspectSaysWhichOne) {
  struct Case {
    std::uint16_t machine;
    const char* kind;
    const char* architecture;
  };
  for (const Case& c : {Case{0x8664, "PE32+, x64", "x64"}, Case{0xAA64, "PE32+, ARM64", "arm64"}}) {
    SCOPED_TRACE(c.architecture);
    auto bytes = StubLikeImage(true);
    testsupport::WriteLe16(bytes, 0x80 + 4, c.machine);
    WriteBytes(stub_, bytes);
    ASSERT_EQ(Build(), 0) << err_.str();
    const sfxpack::InstallerReport report = sfxpack::ReadInstaller(output_);
    EXPECT_EQ(report.imageKind, c.kind);
    EXPECT_EQ(report.stubArchitecture, c.architecture);
    EXPECT_EQ(report.verifyValue, fs::file_size(output_));
    std::ostringstream json;
    sfxpack::PrintJsonReport(report, json);
    EXPECT_EQ(boost::json::parse(json.str()).at("architecture"), c.architecture);
  }
}

TEST_F(SfxpackTest, Build_RefusesImageForAnotherMachine) {
  struct Case {
    bool pe32Plus;
    std::uint16_t machine;
    const char* phrase;
  };
  for (const Case& c : {Case{false, 0x8664, "an image for PE32, x64"}, Case{true, 0x14C, "an image for PE32+, x86"},
                        Case{true, 0x1C4, "an image for PE32+, ARM"}}) {
    auto bytes = StubLikeImage(c.pe32Plus);
    testsupport::WriteLe16(bytes, 0x80 + 4, c.machine);
    WriteBytes(stub_, bytes);
    ExpectRefused(Build(), c.phrase);
  }
}

// ARM64EC code, in an x64 image or beside ARM64 code in an ARM64X one,
// is told by the hybrid metadata its load configuration names.
TEST_F(SfxpackTest, Build_RefusesImageWithArm64ECCode) {
  constexpr std::uint32_t kDirectories = 0x80 + 24 + 112, kTextHeader = kDirectories + 16 * 8, kText = 0x200;
  for (const auto& [machine, phrase] : {std::pair<std::uint16_t, const char*>{0x8664, "is an ARM64EC image"},
                                        {0xAA64, "is an ARM64X image"}}) {
    auto bytes = StubLikeImage(true);
    testsupport::WriteLe16(bytes, 0x80 + 4, machine);
    testsupport::WriteLe32(bytes, kTextHeader + 8, 0x200);  // the code section's size covers the configuration
    testsupport::WriteLe32(bytes, kDirectories + 10 * 8, 0x1000);
    testsupport::WriteLe32(bytes, kDirectories + 10 * 8 + 4, 208);
    testsupport::WriteLe32(bytes, kText, 208);
    testsupport::WriteLe32(bytes, kText + 200, 0x40001000);
    WriteBytes(stub_, bytes);
    ExpectRefused(Build(), phrase);
  }
}

TEST_F(SfxpackTest, Build_RefusesStubThatIsNotPe) {
  WriteText(stub_, "MZ but nothing more");
  ExpectRefused(Build(), "is not a Windows program (PE image)");
}

TEST_F(SfxpackTest, Build_RefusesStubWithoutEightByteVerifyResource) {
  WriteBytes(stub_, StubWithVerifySize(0));
  ExpectRefused(Build(), "has no RCDATA resource _HLV_VERIFY");
  WriteBytes(stub_, StubWithVerifySize(4));
  ExpectRefused(Build(), "_HLV_VERIFY resource of 4 bytes");
}

TEST_F(SfxpackTest, Build_RefusesStubWithMarker) {
  WriteBytes(stub_, StubWith(";!@Install@!UTF-8!"));
  ExpectRefused(Build(), "already holds a payload marker at offset 528");
  WriteBytes(stub_, StubWith(";!@InstallEnd@!"));
  ExpectRefused(Build(), "already holds a payload marker");
}

TEST_F(SfxpackTest, Build_RefusesSignedStub) {
  testsupport::PeContents contents;
  contents.resources = {{u"_HLV_VERIFY", std::vector<std::uint8_t>(8)}};
  contents.certificateOffset = static_cast<std::uint32_t>(kImageSize);
  contents.certificateSize = 24;
  auto bytes = testsupport::BuildPe(contents).bytes;
  bytes.resize(bytes.size() + 24);
  WriteBytes(stub_, bytes);
  ExpectRefused(Build(), "is signed");
}

TEST_F(SfxpackTest, Build_RefusesStubNotEndingAtImageEnd) {
  auto bytes = StubLikeImage();
  bytes.resize(kImageSize + 100);
  WriteBytes(stub_, bytes);
  ExpectRefused(Build(), "carries 100 bytes behind its image end");
  bytes.resize(kImageSize - 1);
  WriteBytes(stub_, bytes);
  ExpectRefused(Build(), "is truncated");
}

TEST_F(SfxpackTest, Build_RefusesConfigurationThatIsNotUtf8) {
  WriteText(config_, "[main]\nTitle=caf\xE9\n");  // Latin-1
  ExpectRefused(Build(), "is not valid UTF-8 (line 2)");
}

TEST_F(SfxpackTest, Build_RefusesArchiveWithoutSignature) {
  WriteText(archive_, "PK\x03\x04 a zip file");
  ExpectRefused(Build(), "does not begin with the 7z signature");
}

TEST_F(SfxpackTest, Build_RefusesArchiveBeginningAtFourMiB) {
  WriteText(config_, ";" + std::string(payload::kArchiveWindow - kImageSize - 64, 'x'));
  ExpectRefused(Build(), "only within the first 4 MiB");
}

TEST_F(SfxpackTest, Build_RefusesEndMarkerBeyondTheScan) {
  WriteBytes(archive_, {payload::k7zSignature.begin(), payload::k7zSignature.begin() + 5});
  ExpectRefused(Build(), "the end marker would stand at offset");
}

// Windows starts no program file of 4 GiB, and a signature cannot cover
// one: refused before anything is written (the archive is sparse).
TEST_F(SfxpackTest, Build_RefusesInstallerOfFourGiBAndInspectFaultsOne) {
  fs::resize_file(archive_, sfxpack::kFileLimit - 1000);
  ExpectRefused(Build(), "at or over Windows' limit of 4 GiB (4294967296 bytes)");
  WriteBytes(archive_, FakeArchive());
  ASSERT_EQ(Build(), 0) << err_.str();
  fs::resize_file(output_, sfxpack::kFileLimit);
  EXPECT_EQ(Run({"inspect", Arg(output_)}), 1);
  EXPECT_NE(err_.str().find("the file has 4294967296 bytes, at or over Windows' limit"), std::string::npos)
      << err_.str();
}

TEST(CheckInstallerSize, WarnsWhenASignatureMayNotFitAndRefusesTheLimit) {
  EXPECT_FALSE(sfxpack::CheckInstallerSize(sfxpack::kFileLimit - sfxpack::kSignatureRoom));
  for (const std::uint64_t size : {sfxpack::kFileLimit - sfxpack::kSignatureRoom + 1, sfxpack::kFileLimit - 1}) {
    const auto warning = sfxpack::CheckInstallerSize(size);
    ASSERT_TRUE(warning) << size;
    EXPECT_NE(warning->find("a signature may not fit"), std::string::npos) << *warning;
  }
  EXPECT_THROW(sfxpack::CheckInstallerSize(sfxpack::kFileLimit), sfxpack::PackError);
}

TEST_F(SfxpackTest, Build_RefusesOutputThatIsAnInput) {
  const auto stub = ReadBytes(stub_);
  const std::pair<fs::path, const char*> cases[] = {
      {dir_ / "sub" / ".." / "stub.exe", "is the stub itself"},
      {config_, "is the configuration itself"},
      {archive_, "is the archive itself"}};
  for (const auto& [output, message] : cases) {
    output_ = output;
    EXPECT_EQ(Build(), 1);
    EXPECT_NE(err_.str().find(message), std::string::npos) << err_.str();
  }
  EXPECT_EQ(ReadBytes(stub_), stub);
  EXPECT_EQ(FolderContents(), inputs_);
}

TEST_F(SfxpackTest, Build_RefusesOutputReachingAnInputThroughALink) {
  std::error_code ec;
  fs::create_directory_symlink(dir_, Path("link"), ec);
  if (ec) GTEST_SKIP() << "no symbolic links here: " << ec.message();
  const auto stub = ReadBytes(stub_);
  output_ = Path("link") / "stub.exe";
  EXPECT_EQ(Build(), 1);
  EXPECT_NE(err_.str().find("is the stub itself"), std::string::npos) << err_.str();
  EXPECT_EQ(ReadBytes(stub_), stub);
}

TEST_F(SfxpackTest, Build_RefusesMissingInputOrOutputFolder) {
  output_ = Path("no such folder") / "setup.exe";
  ExpectRefused(Build(), "the output folder");
  fs::remove(stub_);
  inputs_ = FolderContents();
  ExpectRefused(Build(), "stub.exe\" does not exist");
}

TEST_F(SfxpackTest, Inspect_PrintsLayoutAndConfiguration) {
  ASSERT_EQ(Build(), 0) << err_.str();
  ASSERT_EQ(Run({"inspect", Arg(output_)}), 0) << err_.str();
  const std::string size = std::to_string(fs::file_size(output_));
  const std::string lines[] = {
      "image end            " + std::to_string(kImageSize) + "\n", "certificate table    none\n",
      "_HLV_VERIFY          " + size + " (matches the file size)\n",
      std::string("configuration text:\n") + kConfig};
  for (const std::string& line : lines)
    EXPECT_NE(out_.str().find(line), std::string::npos) << out_.str();
}

TEST_F(SfxpackTest, Inspect_ReportsCutOffDownload) {
  ASSERT_EQ(Build(), 0) << err_.str();
  auto bytes = ReadBytes(output_);
  bytes.resize(bytes.size() - 5);
  WriteBytes(output_, bytes);
  EXPECT_EQ(Run({"inspect", Arg(output_)}), 1);
  EXPECT_NE(out_.str().find("(does not match the file size " + std::to_string(bytes.size())),
            std::string::npos)
      << out_.str();
  EXPECT_NE(err_.str().find("but the file has " + std::to_string(bytes.size())), std::string::npos)
      << err_.str();
}

TEST_F(SfxpackTest, Inspect_ReportsCertificateTableBehindArchive) {
  ASSERT_EQ(Build(), 0) << err_.str();
  auto bytes = ReadBytes(output_);
  testsupport::WriteLe32(bytes, 0x80 + 24 + 96 + 4 * 8, static_cast<std::uint32_t>(bytes.size()));
  testsupport::WriteLe32(bytes, 0x80 + 24 + 100 + 4 * 8, 16);
  bytes.resize(bytes.size() + 16);
  WriteBytes(output_, bytes);
  const sfxpack::InstallerReport report = sfxpack::ReadInstaller(output_);
  ASSERT_TRUE(report.certificate);
  EXPECT_EQ(report.certificate->size, 16u);
  EXPECT_EQ(report.archiveLength, FakeArchive().size());
}

TEST_F(SfxpackTest, Inspect_JsonAndListAgreeWithTheFile) {
  ASSERT_EQ(Build(), 0) << err_.str();
  ASSERT_EQ(Run({"inspect", "--json", "--list", Arg(output_)}), 0) << err_.str();
  const boost::json::object report = boost::json::parse(out_.str()).as_object();
  EXPECT_EQ(report.at("fileSize").to_number<std::uint64_t>(), fs::file_size(output_));
  EXPECT_EQ(report.at("verifySize"), report.at("fileSize"));
  EXPECT_TRUE(report.at("mismatches").as_array().empty());
  EXPECT_EQ(report.at("configurationText").as_string(), kConfig);
  const boost::json::object& archive = report.at("archive").as_object();
  EXPECT_EQ(archive.at("length").to_number<std::uint64_t>(), FakeArchive().size());
  EXPECT_EQ(archive.at("items"), boost::json::array({"setup.exe"}));
}

TEST_F(SfxpackTest, Version_PrintsTheVersionThenTheStubs) {
  ASSERT_EQ(Run({"--version"}), 0);
  std::istringstream lines(out_.str());
  std::string line;
  for (const char* start : {"sfxpack 1.0.0", "stub x86 (setupsfx.exe): ", "stub x64 (setupsfx64.exe): "}) {
    ASSERT_TRUE(std::getline(lines, line)) << out_.str();
    EXPECT_EQ(line.rfind(start, 0), 0u) << line;
  }
}

TEST_F(SfxpackTest, Inspect_RefusesFileWithoutBlock) {
  EXPECT_EQ(Run({"inspect", Arg(stub_)}), 3);
  EXPECT_NE(err_.str().find("holds no configuration block"), std::string::npos) << err_.str();
  // A download that stopped inside the block.
  ASSERT_EQ(Build(), 0) << err_.str();
  auto bytes = ReadBytes(output_);
  bytes.resize(kImageSize + 30);
  WriteBytes(output_, bytes);
  EXPECT_EQ(Run({"inspect", Arg(output_)}), 3);
  EXPECT_NE(err_.str().find("is truncated: its configuration block begins but does not end"), std::string::npos)
      << err_.str();
}

}  // namespace
}  // namespace sfxtest
