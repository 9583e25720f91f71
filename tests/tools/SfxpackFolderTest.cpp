// build --folder: the archive comes from 7-Zip and is gone afterwards.
#include <gtest/gtest.h>

#include <chrono>

#include <boost/process/io.hpp>
#include <boost/process/search_path.hpp>
#include <boost/process/system.hpp>

#include "FileIo.h"
#include "Inspect.h"
#include "SfxpackFixture.h"

namespace bp = boost::process;

namespace sfxtest {
namespace {

class SfxpackFolderTest : public SfxpackTest {
 protected:
  void SetUp() override {
    SfxpackTest::SetUp();
    fs::create_directories(files_ = Path("files") / "sub");
    files_ = files_.parent_path();
    WriteText(files_ / "setup.exe", "program");
    WriteText(files_ / "sub" / "data.bin", "data");
    fs::create_directory(temp_ = Path("tëmp ωδε"));  // reaches 7-Zip intact
    inputs_ = FolderContents();
  }

  int BuildFromFolder() {
    ScopedEnv temp(kTempVariable, Arg(temp_));
    return Build({"--folder", Arg(files_)});
  }

  fs::path files_, temp_;
};

TEST_F(SfxpackFolderTest, Build_PacksFolderContentsWith7zz) {
  const boost::filesystem::path sevenZip = bp::search_path("7zz");
  if (sevenZip.empty()) GTEST_SKIP() << "7zz is not on the PATH";
  ScopedEnv program("SFXPACK_7Z", "7zz");
  ASSERT_EQ(BuildFromFolder(), 0) << err_.str();
  EXPECT_TRUE(fs::is_empty(temp_));

  const auto bytes = ReadBytes(output_);
  const sfxpack::InstallerReport report = sfxpack::ReadInstaller(output_);
  EXPECT_EQ(report.lzma2Blocks, 1u);
  const auto archiveOffset = report.archiveOffset;
  WriteBytes(Path("cut.7z"), std::vector<std::uint8_t>(bytes.begin() + archiveOffset, bytes.end()));
  ASSERT_EQ(bp::system(sevenZip, "x", "-bso0", "-o" + Arg(Path("out")), Arg(Path("cut.7z")),
                       bp::std_in < bp::null),
            0);
  EXPECT_EQ(ReadBytes(Path("out") / "sub" / "data.bin"), ReadBytes(files_ / "sub" / "data.bin"));
}

TEST_F(SfxpackFolderTest, Build_WithEpochPacksTwiceByteIdenticallyWith7zz) {
  if (bp::search_path("7zz").empty()) GTEST_SKIP() << "7zz is not on the PATH";
  ScopedEnv program("SFXPACK_7Z", "7zz");
  ScopedEnv epoch("SOURCE_DATE_EPOCH", "1700000000");
  ASSERT_EQ(BuildFromFolder(), 0) << err_.str();
  const auto first = ReadBytes(output_);
  // As a fresh checkout would be: newer times, which the epoch clamps.
  fs::last_write_time(files_ / "setup.exe", fs::file_time_type::clock::now() + std::chrono::hours(1));
  ASSERT_EQ(BuildFromFolder(), 0) << err_.str();
  EXPECT_EQ(ReadBytes(output_), first);
  EXPECT_TRUE(fs::is_empty(temp_));
}

TEST_F(SfxpackFolderTest, Build_StrictRefusesFolderWithoutTheSetupFileBeforePacking) {
  fs::remove(files_ / "setup.exe");
  ScopedEnv program("SFXPACK_7Z", FAKE7Z_PATH);
  ScopedEnv temp(kTempVariable, Arg(temp_));
  EXPECT_EQ(Build({"--folder", Arg(files_), "--strict"}), 1);
  EXPECT_NE(err_.str().find("SetupFileName of [main] names \"setup.exe\", which the payload does not hold"),
            std::string::npos)
      << err_.str();
  EXPECT_FALSE(fs::exists(output_));
  EXPECT_TRUE(fs::is_empty(temp_));
}

TEST_F(SfxpackFolderTest, Build_RunsConfigured7zInsideTheFolder) {
  ScopedEnv program("SFXPACK_7Z", FAKE7Z_PATH);
  ASSERT_EQ(BuildFromFolder(), 0) << err_.str();
  EXPECT_TRUE(fs::is_empty(temp_));
  const auto bytes = ReadBytes(output_);
  const std::string listing = "setup.exe\nsub\n";
  EXPECT_EQ(std::string(bytes.end() - listing.size(), bytes.end()), listing);
}

TEST_F(SfxpackFolderTest, Build_ReportsFailing7zAndRemovesItsArchive) {
  ScopedEnv program("SFXPACK_7Z", FAKE7Z_PATH);
  ScopedEnv fails("FAKE7Z_EXIT", "3");  // after writing part of an archive
  ExpectRefused(BuildFromFolder(), "failed with exit code 3 while packing folder \"" + Arg(files_) + "\" into \"");
  EXPECT_NE(err_.str().find(".7z\": System ERROR: errno=28 : No space left on device\n"), std::string::npos)
      << err_.str();
  EXPECT_TRUE(fs::is_empty(temp_));
}

TEST_F(SfxpackFolderTest, Build_RefusesMissing7zOrFolder) {
  {
    ScopedEnv program("SFXPACK_7Z", Arg(Path("no-such-dir") / "7zz"));
    ExpectRefused(BuildFromFolder(), "which does not exist");
  }
  files_ = Path("missing");
  ExpectRefused(BuildFromFolder(), "does not exist");
  files_ = temp_;
  ExpectRefused(BuildFromFolder(), "is empty");
}

// A CI log gets lines, not 7-Zip's display redrawn behind backspaces.
TEST_F(SfxpackFolderTest, Build_ProgressWithoutTerminalComesAsWholeLines) {
  if (bp::search_path("7zz").empty()) GTEST_SKIP() << "7zz is not on the PATH";
  if (sfxpack::StderrIsTerminal()) GTEST_SKIP() << "standard error is a terminal here";
  ScopedEnv program("SFXPACK_7Z", "7zz");
  ScopedEnv temp(kTempVariable, Arg(temp_));
  ASSERT_EQ(Build({"--folder", Arg(files_), "--progress"}), 0) << err_.str();
  EXPECT_NE(err_.str().find("sfxpack: packing 0%\n"), std::string::npos) << err_.str();
  EXPECT_EQ(err_.str().find_first_of("\b\r"), std::string::npos) << err_.str();
}

}  // namespace
}  // namespace sfxtest
