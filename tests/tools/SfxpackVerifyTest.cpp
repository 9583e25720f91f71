// verify, and inspect's exit code for a file it cannot examine; with the
// real 7-Zip, since only it tests an archive's CRCs.
#include <gtest/gtest.h>

#include <cstdlib>

#include <boost/json.hpp>

#include "Inspect.h"
#include "SfxpackFixture.h"

namespace sfxtest {
namespace {

class SfxpackVerifyTest : public SfxpackTest {
 protected:
  void SetUp() override {
    SfxpackTest::SetUp();
    UseReal7Zip();
  }

  // A real archive of a setup program of some hundred kilobytes.
  void PackArchive(const std::string& switches = "") {
    fs::create_directory(Path("payload"));
    std::string setup = "MZ";
    for (int i = 0; setup.size() < 300000; ++i) setup += "line " + std::to_string(i * 7919 % 100003) + "\n";
    WriteText(Path("payload/setup.exe"), setup);
    fs::remove(archive_);
    const std::string pack = "cd '" + Arg(Path("payload")) + "' && 7zz a -bso0 -bsp0 -mx=1 " + switches + " '" +
                             Arg(archive_) + "' setup.exe";
    ASSERT_EQ(std::system(pack.c_str()), 0);
  }

  int Verify(const fs::path& file) { return Run({"verify", Arg(file)}); }
};

TEST_F(SfxpackVerifyTest, Verify_PassesGoodBrandedAndSignedInstallers) {
  PackArchive();
  ASSERT_EQ(Build(), 0) << err_.str();
  EXPECT_EQ(Verify(output_), 0) << err_.str();
  EXPECT_NE(out_.str().find("is sound"), std::string::npos) << out_.str();

  const fs::path branded = Path("branded.exe");
  ASSERT_EQ(Run({"build", "--stub", Arg(stub_), "--config", Arg(config_), "--archive", Arg(archive_), "--output",
                 Arg(branded), "--product-name", "Acme", "--file-version", "2.5.1.0"}),
            0)
      << err_.str();
  EXPECT_EQ(Verify(branded), 0) << err_.str();

  if (std::system("command -v osslsigncode >/dev/null && command -v openssl >/dev/null") != 0)
    GTEST_SKIP() << "no osslsigncode or openssl to sign with";
  const std::string sign = "cd '" + Arg(dir_) +
                           "' && openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 "
                           "-subj /CN=sfxpack-test >/dev/null 2>&1 && osslsigncode sign -certs cert.pem -key key.pem "
                           "-in setup.exe -out signed.exe >/dev/null";
  ASSERT_EQ(std::system(sign.c_str()), 0);
  EXPECT_EQ(Verify(Path("signed.exe")), 0) << err_.str();
}

// Where one byte flips decides only which check names it.
TEST_F(SfxpackVerifyTest, Verify_FindsOneFlippedByte) {
  PackArchive();
  ASSERT_EQ(Build(), 0) << err_.str();
  const sfxpack::InstallerReport r = sfxpack::ReadInstaller(output_);
  const auto good = ReadBytes(output_);
  std::uint64_t record = 0;  // the size record holds the file size
  for (std::uint64_t i = 0; i + 8 <= good.size() && !record; ++i) {
    std::uint64_t value = 0;
    for (int b = 7; b >= 0; --b) value = value << 8 | good[i + static_cast<std::size_t>(b)];
    if (value == good.size()) record = i;
  }
  ASSERT_NE(record, 0u);
  const std::pair<const char*, std::uint64_t> places[] = {
      {"archive: format version", r.archiveOffset + 7},
      {"archive: start header CRC", r.archiveOffset + 9},
      {"archive: packed data", r.archiveOffset + r.archiveLength / 2},
      {"archive: its header's last byte", r.archiveOffset + r.archiveLength - 1},
      {"configuration block: IV", r.blockOffset},
      {"configuration block: middle", r.blockOffset + r.blockLength / 2},
      {"configuration block: padding", r.blockOffset + r.blockLength - 1},
      {"size record", record + 1},
  };
  for (const auto& [place, offset] : places) {
    auto bytes = good;
    bytes[offset] ^= 0xFF;
    WriteBytes(output_, bytes);
    EXPECT_EQ(Verify(output_), 1) << place << ": " << err_.str();
    EXPECT_EQ(err_.str().rfind("sfxpack: error: ", 0), 0u) << place << ": " << err_.str();
    EXPECT_EQ(out_.str(), "") << place;
  }
}

TEST_F(SfxpackVerifyTest, Verify_NotesWhatTheMissingPasswordHides) {
  PackArchive("-pX -mhe=on");
  ASSERT_EQ(Build(), 0) << err_.str();
  EXPECT_EQ(Verify(output_), 0) << err_.str();
  EXPECT_NE(err_.str().find("note: "), std::string::npos) << err_.str();
  EXPECT_NE(err_.str().find("without the password"), std::string::npos) << err_.str();

  // inspect --list cannot list it: 3, with JSON still on stdout and no
  // temporary path in the message.
  EXPECT_EQ(Run({"inspect", "--json", "--list", Arg(output_)}), 3);
  const boost::json::object report = boost::json::parse(out_.str()).as_object();
  EXPECT_TRUE(report.at("archive").as_object().contains("listError"));
  EXPECT_NE(err_.str().find("the archive of \"" + Arg(output_) + "\""), std::string::npos) << err_.str();
  EXPECT_EQ(err_.str().find(".7z"), std::string::npos) << err_.str();
}

TEST_F(SfxpackTest, VerifyAndInspect_CannotExamineWhatIsNoInstaller) {
  const std::pair<fs::path, const char*> files[] = {{stub_, "holds no configuration block"},
                                                    {config_, "is not a Windows program"},
                                                    {Path("missing.exe"), "does not exist"}};
  for (const auto& [file, phrase] : files) {
    EXPECT_EQ(Run({"verify", Arg(file)}), 3) << Arg(file);
    EXPECT_NE(err_.str().find(phrase), std::string::npos) << err_.str();
    EXPECT_EQ(Run({"inspect", "--json", Arg(file)}), 3) << Arg(file);
    EXPECT_NE(boost::json::parse(out_.str()).as_object().at("error").as_string().find(phrase), std::string::npos);
  }
}

}  // namespace
}  // namespace sfxtest
