// build's checks of the configuration and the archive, and --strict.
#include <gtest/gtest.h>

#include <cstdlib>

#include <boost/json.hpp>

#include "ArchiveCoders.h"
#include "Errors.h"
#include "SfxpackFixture.h"

namespace sfxtest {
namespace {

class SfxpackCheckTest : public SfxpackTest {
 protected:
  // Builds from the configuration text; the messages name what was found.
  int BuildWith(const std::string& config, const std::vector<std::string>& extra = {}) {
    WriteText(config_, config);
    return Build(extra);
  }
};

TEST_F(SfxpackCheckTest, Build_WarnsAboutWhatTheInstallerWouldPassOver) {
  const std::pair<const char*, const char*> cases[] = {
      {"[main]\nSetupFilname=app.msi\n",
       "line 2: unknown key \"SetupFilname\" is ignored by the installer; did you mean SetupFileName?"},
      {"[mian]\nSetupFileName=setup.exe\n", "line 1: unknown section \"mian\""},
      {"[main]\nthis is no setting\n", "line 2: the installer ignores this line"},
      {"[main]\n  ; see [LANG_de]\n", "line 2: blanks stand before the ';' of this comment, so the installer reads it "
                                      "as the section header [LANG_de]; put the ';' first on the line"},
      {"[main]\nSetupFileName=app.msi\n", "SetupFileName of [main] names \"app.msi\", which the payload does not hold"},
      {"[main]\n[LANG_de]\nSetupFileName64=x64\\setup.exe\n", "SetupFileName64 of [LANG_de] names \"x64\\setup.exe\""},
  };
  for (const auto& [config, warning] : cases) {
    EXPECT_EQ(BuildWith(config), 0) << err_.str();
    EXPECT_NE(err_.str().find("sfxpack: warning: "), std::string::npos);
    EXPECT_NE(err_.str().find(warning), std::string::npos) << err_.str();
    fs::remove(output_);

    EXPECT_EQ(BuildWith(config, {"--strict"}), 1);
    EXPECT_NE(err_.str().find("with --strict; nothing written"), std::string::npos) << err_.str();
    EXPECT_FALSE(fs::exists(output_));
  }
}

TEST_F(SfxpackCheckTest, Build_FindsSetupFileInTheProductFolderAndAnyLetterCase) {
  auto archive = FakeArchive();
  for (const char c : std::string("product/App.msi\n")) archive.push_back(static_cast<std::uint8_t>(c));
  WriteBytes(archive_, archive);
  EXPECT_EQ(BuildWith("[main]\nSetupFileName=app.MSI\n[LANG_de]\nSetupFileName=[ExtractDir]SETUP.exe\n"
                      "[LANG_fr]\nSetupFileName=.\\product\\\\App.msi\n",
                      {"--strict"}),
            0)
      << err_.str();
  EXPECT_EQ(err_.str(), "");
}

TEST_F(SfxpackCheckTest, Build_RefusesDamagedArchive) {
  auto archive = FakeArchive();
  archive.resize(20);  // cut off, as a broken download would be
  WriteBytes(archive_, archive);
  inputs_ = FolderContents();
  ExpectRefused(Build(), "is damaged: 7-Zip's test of it failed");
  // 7-Zip's own reason, without the lines that only name the archive.
  UseReal7Zip();
  if (IsSkipped()) return;
  ExpectRefused(Build(), "failed with exit code 2 (Open ERROR: Cannot open the file as [7z] archive; "
                         "ERRORS: Is not archive); the installer");
}

TEST_F(SfxpackCheckTest, Build_JsonListsWarningsByCodeAndQuietPrintsNothing) {
  ASSERT_EQ(BuildWith("[main]\nSetupFilname=setup.exe\nSetupFileName=setup.exe\n", {"--json"}), 0) << err_.str();
  const boost::json::object result = boost::json::parse(out_.str()).as_object();
  EXPECT_EQ(result.at("path").as_string(), Arg(output_));
  EXPECT_EQ(result.at("size").to_number<std::uint64_t>(), fs::file_size(output_));
  EXPECT_EQ(result.at("sha256").as_string().size(), 64u);
  EXPECT_TRUE(result.at("lzma2Blocks").is_null());  // the fake archive holds no LZMA2
  const boost::json::array& warnings = result.at("warnings").as_array();
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].at("code"), "unknown-key");
  fs::remove(output_);

  EXPECT_EQ(BuildWith("[main]\nSetupFilname=setup.exe\nSetupFileName=setup.exe\n", {"--quiet"}), 0);
  EXPECT_EQ(out_.str() + err_.str(), "");
  EXPECT_TRUE(fs::exists(output_));
}

// A failing build still prints its one object, and a quiet strict build
// shows the warnings that failed it.
TEST_F(SfxpackCheckTest, Build_JsonReportsFailuresAndStrictShowsItsWarnings) {
  const std::string config = "[main]\nSetupFilname=setup.exe\nSetupFileName=setup.exe\n";
  EXPECT_EQ(BuildWith(config, {"--json", "--strict"}), 1);
  const boost::json::object result = boost::json::parse(out_.str()).as_object();
  EXPECT_EQ(result.at("path").as_string(), Arg(output_));
  EXPECT_EQ(result.at("error").as_string(), "1 warning(s) with --strict; nothing written");
  ASSERT_EQ(result.at("warnings").as_array().size(), 1u);
  EXPECT_EQ(result.at("warnings").as_array()[0].at("code"), "unknown-key");

  EXPECT_EQ(BuildWith(config, {"--json", "--quiet"}), 2);
  EXPECT_NE(boost::json::parse(out_.str()).as_object().at("error").as_string().find("not both"),
            boost::json::string::npos);

  EXPECT_EQ(BuildWith(config, {"--quiet", "--strict"}), 1);
  EXPECT_EQ(out_.str(), "");
  EXPECT_NE(err_.str().find("config.txt\" line 2: unknown key \"SetupFilname\""), std::string::npos) << err_.str();
  EXPECT_FALSE(fs::exists(output_));
}

TEST_F(SfxpackCheckTest, Build_PrintsTwentyWarningsOfAKindThenTheirCount) {
  std::string config = "[main]\nSetupFileName=setup.exe\n";
  for (int i = 0; i < 25; ++i) config += "Unknown" + std::to_string(i) + "=1\n";
  ASSERT_EQ(BuildWith(config, {"--json"}), 0) << err_.str();
  EXPECT_EQ(boost::json::parse(out_.str()).as_object().at("warnings").as_array().size(), 25u);
  const std::string err = err_.str();
  EXPECT_NE(err.find("\"Unknown19\""), std::string::npos) << err;
  EXPECT_EQ(err.find("\"Unknown20\""), std::string::npos) << err;
  EXPECT_NE(err.find("sfxpack: warning: 5 more warnings of the kind \"unknown-key\" not shown (25 in all)\n"),
            std::string::npos)
      << err;
}

// An enciphered payload is the packager's choice: 7-Zip cannot test it
// without the password, so the build says so and goes on, also --strict.
TEST_F(SfxpackCheckTest, Build_TakesEncipheredArchiveWithANote) {
  UseReal7Zip();
  if (IsSkipped()) return;
  fs::create_directory(Path("payload"));
  WriteText(Path("payload/setup.exe"), "MZ");
  for (const std::string switches : {"-psecret", "-psecret -mhe=on"}) {
    fs::remove(archive_);
    const std::string pack = "cd '" + Arg(Path("payload")) + "' && 7zz a -bso0 -bsp0 " + switches + " '" +
                             Arg(archive_) + "' setup.exe";
    ASSERT_EQ(std::system(pack.c_str()), 0);
    err_.str("");
    EXPECT_EQ(BuildWith(kConfig, {"--strict"}), 0) << switches << ": " << err_.str();
    EXPECT_NE(err_.str().find("sfxpack: note: archive"), std::string::npos) << err_.str();
    EXPECT_NE(err_.str().find("without the password"), std::string::npos) << err_.str();
    fs::remove(output_);
  }
}

// bsdtar's names: "./" prefixes are fine, paths that leave the folder or
// that the installer would rename are not; 7-Zip's stored links neither.
TEST_F(SfxpackCheckTest, Build_RefusesArchivedItemsTheInstallerWouldNotCreateAsNamed) {
  UseReal7Zip();
  if (IsSkipped()) return;
  if (std::system("command -v bsdtar >/dev/null") != 0) GTEST_SKIP() << "no bsdtar on the PATH";
  fs::create_directory(Path("payload"));
  WriteText(Path("payload/setup.exe"), "MZ");
  const struct {
    std::string writer;  // run in the payload folder; the archive's path follows -cf or "a"
    int code;
    std::string fragment;
  } cases[] = {
      {"bsdtar --format 7zip -cf @ .", 0, ""},
      {"bsdtar -P --format 7zip -s ',^,../,' -cf @ setup.exe", 1,
       "holds \"../setup.exe\", which the installer would not create as named: it climbs out of the extraction folder"},
      {"bsdtar -P --format 7zip -s ',^,/abs/,' -cf @ setup.exe", 1,
       "holds \"/abs/setup.exe\", which the installer would not create as named: it is an absolute path"},
      {"bsdtar --format 7zip -s ',^setup.exe$,LPT0.exe,' -cf @ setup.exe", 1,
       "\"LPT0.exe\" would be written as \"_LPT0.exe\""},
      {"ln -s setup.exe link.exe && 7zz a -bso0 -snl @ setup.exe link.exe", 1, "holds the symbolic link(s) \"link.exe\""},
  };
  for (const auto& c : cases) {
    fs::remove(archive_);
    std::string pack = "cd '" + Arg(Path("payload")) + "' && " + c.writer;
    pack.replace(pack.find('@'), 1, "'" + Arg(archive_) + "'");
    ASSERT_EQ(std::system(pack.c_str()), 0) << pack;
    err_.str("");
    EXPECT_EQ(BuildWith(kConfig, {}), c.code) << c.writer << ": " << err_.str();
    EXPECT_NE(err_.str().find(c.fragment), std::string::npos) << err_.str();
    fs::remove(output_);
  }
}

// A coder outside the installer's list is named with its items and the
// way to repack.
TEST(ArchiveCodersTest, RefusesACoderTheInstallerCannotDecode) {
  sfxpack::PayloadPaths listed;
  listed.methods = {{"bin/a.exe", "BCJ LZMA2:24"}, {"doc/x.txt", "ZSTD:3"}, {"doc/y.txt", "ZSTD:3"}, {"e", ""}};
  try {
    sfxpack::RequireExtractableItems(listed, "archive \"p.7z\"");
    ADD_FAILURE() << "accepted";
  } catch (const sfxpack::PackError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("archive \"p.7z\" uses the method ZSTD, which the installer cannot decode, "
                                          "for \"doc/x.txt\", \"doc/y.txt\"; repack it with methods it decodes (Copy, ",
                                          0),
              0u)
        << e.what();
    EXPECT_NE(std::string(e.what()).find("for example with 7zz a -m0=LZMA2 -mf=off"), std::string::npos);
  }
  listed.methods = {{"bin/a", "ARM64 LZMA2:24"}, {"bin/b", "RISCV BZip2"}, {"c", "Deflate64 7zAES:19"}};
  EXPECT_NO_THROW(sfxpack::RequireExtractableItems(listed, "archive"));
}

}  // namespace
}  // namespace sfxtest
