// build's refusals and warnings for inputs the installer would read
// differently from what they say: one row per case.
#include <gtest/gtest.h>

#include <optional>

#include "SfxpackFixture.h"

namespace sfxtest {
namespace {

struct Case {
  std::string config;              // empty: the fixture's
  std::vector<std::string> args;   // after "build"; "@name" is a path in the scratch folder
  int code;
  std::string fragment;            // of standard error
};

class SfxpackInputTest : public SfxpackTest {
 protected:
  void SetUp() override {
    SfxpackTest::SetUp();
    sevenZip_.reset();
    sevenZip_.emplace("SFXPACK_7Z", FAKE7Z_PATH);
    WriteText(Path("icon.ico"), "not read");
    WriteText(Path("version.txt"), "\xEF\xBB\xBFProductName=Bom\nProductVersion=1.0\n");
    WriteBytes(Path("empty.7z"), {});
    fs::create_directories(Path("files/sub"));
    WriteText(Path("files/setup.exe"), "MZ");
    WriteText(Path("files/Setup-\xC3\xBC.exe"), "MZ");
    fs::create_directory(Path("temp"));
  }

  std::vector<std::string> Args(const Case& c) const {
    std::vector<std::string> args = {"build", "--stub", Arg(stub_), "--config", Arg(config_)};
    auto has = [&](const char* name) { return std::find(c.args.begin(), c.args.end(), name) != c.args.end(); };
    if (!has("--output")) args.insert(args.end(), {"--output", Arg(output_)});
    if (!has("--folder") && !has("--archive")) args.insert(args.end(), {"--archive", Arg(archive_)});
    for (const std::string& arg : c.args) args.push_back(arg.rfind("@", 0) == 0 ? Arg(Path(arg.substr(1))) : arg);
    return args;
  }

  void Check(const std::vector<Case>& cases) {
    const ScopedEnv temp(kTempVariable, Arg(Path("temp")));
    for (const Case& c : cases) {
      WriteBytes(config_, std::vector<std::uint8_t>(c.config.begin(), c.config.end()));
      if (c.config.empty()) WriteText(config_, kConfig);
      EXPECT_EQ(Run(Args(c)), c.code) << c.fragment << "\n" << err_.str();
      EXPECT_NE(err_.str().find(c.fragment), std::string::npos) << err_.str();
      if (c.code != 0) {
        EXPECT_FALSE(fs::exists(output_)) << c.fragment;
      }
      EXPECT_TRUE(fs::is_empty(Path("temp"))) << c.fragment;
      // A warning fails a strict build, and nothing is written.
      if (c.code == 0 && c.fragment.rfind("warning: ", 0) == 0) {
        fs::remove(output_);
        Case strict = c;
        strict.args.push_back("--strict");
        EXPECT_EQ(Run(Args(strict)), 1) << c.fragment;
        EXPECT_FALSE(fs::exists(output_)) << c.fragment;
      }
      fs::remove(output_);
    }
  }
};

TEST_F(SfxpackInputTest, Build_RefusesInputsItWouldOverwriteOrMisread) {
  WriteText(Path("big.ico"), "");
  fs::resize_file(Path("big.ico"), (16 << 20) + 1);
  Check({
      {"", {"--icon", "@big.ico", "--product-version", "1.0"}, 1,
       "is 16777217 bytes; sfxpack takes an icon file of at most 16 MiB"},
      {"", {"--icon", "@icon.ico", "--output", "@icon.ico"}, 1, "is the icon itself"},
      {"", {"--version-info", "@version.txt", "--output", "@version.txt"}, 1, "is the version information itself"},
      {"", {"--folder", "@files", "--output", "@files/out.exe"}, 1, "lies inside folder"},
      {"", {"--output", "--strict"}, 2, "--output needs a value, not the option --strict"},
      {"", {"--company", "caf\xE9"}, 2, "argument 11 is not valid UTF-8"},
      {std::string("[\0m\0a\0i\0n\0]\0", 12), {}, 1, "holds NUL bytes; is it UTF-16?"},
      {"", {"--product-name", std::string(20000, 'x'), "--product-version", "1.0"}, 1, "more than a version resource holds (65,535)"},
      {"", {"--product-version", "beta"}, 1, "ProductVersion \"beta\" does not begin with a version number"},
      {"", {"--folder", "@payload.7z"}, 1, "is a file; --folder takes a folder"},
      {"", {"--archive", "@empty.7z"}, 1, "is empty (0 bytes)"},
      {"", {"--arch", "x64"}, 1, "\", the x86 stub, disagree; give the x64 stub or leave out --arch"},
      {"", {"--product-version", ""}, 2, "--product-version is empty; give its text, or leave --product-version out"},
      {"", {"--product-name", ""}, 2, "--product-name is empty"},
      {"", {"--company", "Kest"}, 1, "gives no version, so the installer's would read 0.0.0.0; give --product-version"},
      {"", {"--level", "5"}, 2, "--level applies only to --folder; --archive is packed already, so leave --level out"},
      {"", {"--threads", "2"}, 2, "--threads applies only to --folder"},
      {"", {"--follow-links"}, 2, "--follow-links applies only to --folder"},
      {"", {"--progress"}, 2, "--progress applies only to --folder"},
  });
}

TEST_F(SfxpackInputTest, Build_TakesFreeTextProductVersionAndVersionFileWithByteOrderMark) {
  Check({
      {"", {"--product-version", "2.3.4-beta+abc", "--strict"}, 0, ""},
      {"", {"--version-info", "@version.txt", "--strict"}, 0, ""},
  });
}

TEST_F(SfxpackInputTest, Build_WarnsAboutValuesTheInstallerReadsDifferently) {
  Check({
      {"[main]\nShowUnzipLanguageDlg=yes\n", {}, 0, "warning: configuration"},
      {"[main]\nShowUnzipLanguageDlg=yes\n", {}, 0, "line 2: ShowUnzipLanguageDlg=yes is not a whole number; the installer reads it as 0 (off)"},
      {"[main]\nSfxProgressVisible=true\n", {}, 0, "SfxProgressVisible=true is not a whole number; the installer reads it as 0 (off)"},
      {"[main]\nSetupShow=abc\n", {}, 0, "SetupShow=abc is not a whole number; the installer reads it as 0."},
      {"[main]\nExtractOnly=2\n", {}, 0, "ExtractOnly=2: the installer reads it as 2 (on); write 0 or 1"},
      {"[main]\nCulture=zz-ZZ\n", {}, 0, "line 2: culture \"zz-ZZ\" has no string table"},
      {"[main]\n[LANG_xx-YY]\nProductName=X\n", {}, 0, "line 2: culture \"xx-YY\" has no string table"},
      {"[main]\nProductName=A\nproductname=B\n", {}, 0, "line 3: key \"productname\" is given again (first on line 2)"},
      {"[main]\nProductName=A\n[Main]\nSetupShow=1\n", {}, 0, "line 3: section \"Main\" is given again (first on line 1)"},
      {"[main]\nSetupFileName=\n", {}, 0, "line 2: SetupFileName is empty"},
      {"[main]\nSetupFileName=sub\n", {"--folder", "@files"}, 0, "names \"sub\", which is a folder in the payload"},
  });
}

// Windows compares file names without regard to case beyond ASCII too.
TEST_F(SfxpackInputTest, Build_FindsSetupFileWhateverTheCaseOfItsLetters) {
  Check({{"[main]\nSetupFileName=SETUP-\xC3\x9C.EXE\n", {"--folder", "@files", "--strict"}, 0, ""}});
}

#ifndef _WIN32
// Names and links that only a POSIX file system holds.
TEST_F(SfxpackInputTest, Build_RefusesFolderItemsWindowsCannotCreateAndLinks) {
  const std::pair<const char*, const char*> items[] = {
      {"con", "CON"}, {"colon", "a:b.txt"}, {"question", "q?.txt"}, {"dot", "a."}, {"blank", "a "},
      {"case", "Case.txt"}, {"case", "case.txt"}, {"com0", "com0.log"}, {"backslash", "a\\b.txt"},
      {"latin1", "caf\xE9.txt"}};
  for (const auto& [folder, name] : items) {
    fs::create_directories(Path(folder));
    WriteText(Path(folder) / name, "x");
  }
  fs::create_directories(Path("out"));
  fs::create_symlink("/etc/hostname", Path("out/hostname"));
  fs::create_directories(Path("up"));
  fs::create_directory_symlink("..", Path("up/parent"));
  fs::create_directories(Path("loop/sub"));
  fs::create_directory_symlink("..", Path("loop/sub/back"));
  fs::create_directories(Path("inside"));
  WriteText(Path("inside/setup.exe"), "MZ");
  fs::create_symlink("setup.exe", Path("inside/copy.exe"));
  fs::create_symlink("self.7z", Path("self.7z"));
  Check({
      {"", {"--archive", "@self.7z"}, 1, "self.7z\" is a loop of symbolic links; point it at a file"},
      {"", {"--folder", "@con"}, 1, "holds \"CON\", which the installer would not create as named: \"CON\" would be "
                                   "written as \"_CON\": its name is reserved for a device; rename it"},
      {"", {"--folder", "@colon"}, 1, "\"a:b.txt\" would be written as \"a_b.txt\": its name holds the character :"},
      {"", {"--folder", "@com0"}, 1, "\"com0.log\" would be written as \"_com0.log\": its name is reserved"},
      {"", {"--folder", "@backslash"}, 1, "holds \"a\\b.txt\", whose name holds a backslash"},
      {"", {"--folder", "@latin1"}, 1, "holds \"caf\xE9.txt\", whose name is not valid UTF-8"},
      {"", {"--folder", "@question"}, 1, "its name holds the character ?"},
      {"", {"--folder", "@dot"}, 1, "its name ends with a dot or a blank"},
      {"", {"--folder", "@blank"}, 1, "its name ends with a dot or a blank"},
      {"", {"--folder", "@case"}, 1, "which differ only in letter case"},
      {"", {"--folder", "@out", "--follow-links"}, 1, "points out of folder"},
      {"", {"--folder", "@up", "--follow-links"}, 1, "points out of folder"},
      {"", {"--folder", "@loop", "--follow-links"}, 1, "points to a folder that holds it"},
      {"", {"--folder", "@inside"}, 1, "is a link; add --follow-links"},
      {"", {"--folder", "@inside", "--follow-links", "--strict"}, 0, ""},
  });
}
#endif

}  // namespace
}  // namespace sfxtest
