// build's branding: icon and version information in the stub's resources.
#include <gtest/gtest.h>

#include <boost/json.hpp>

#include "SfxpackFixture.h"

namespace sfxtest {
namespace {

// An icon file of one image.
std::vector<std::uint8_t> TinyIcon(const std::string& image = "ico") {
  std::vector<std::uint8_t> ico = {0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0, 0, 0, 0, 0, 22, 0, 0, 0};
  ico[14] = static_cast<std::uint8_t>(image.size());
  for (const char c : image) ico.push_back(static_cast<std::uint8_t>(c));
  return ico;
}

TEST_F(SfxpackTest, Branding_InspectReadsBackTheGivenVersionAndIcon) {
  WriteBytes(Path("app.ico"), TinyIcon());
  WriteText(Path("version.txt"), "; release details\nProductName=From the file\nCompanyName=Acme Corp\n"
                                 "FileVersion=2.5.1\n");
  ASSERT_EQ(Build({"--icon", Arg(Path("app.ico")), "--version-info", Arg(Path("version.txt")), "--product-name",
                   "Acme Tools", "--copyright", "(c) Acme"}),
            0)
      << err_.str();
  ASSERT_EQ(Run({"inspect", "--json", Arg(output_)}), 0) << err_.str();
  const boost::json::object report = boost::json::parse(out_.str()).as_object();
  EXPECT_EQ(report.at("iconImages"), 1);
  EXPECT_EQ(report.at("verifySize"), report.at("fileSize"));
  const boost::json::object& version = report.at("version").as_object();
  EXPECT_EQ(version.at("fileVersion"), "2.5.1.0");
  EXPECT_EQ(version.at("productVersion"), "2.5.1.0");
  EXPECT_EQ(version.at("strings"), (boost::json::object{{"ProductName", "Acme Tools"},
                                                        {"CompanyName", "Acme Corp"},
                                                        {"FileDescription", "Acme Tools"},
                                                        {"ProductVersion", "2.5.1"},
                                                        {"FileVersion", "2.5.1"},
                                                        {"LegalCopyright", "(c) Acme"},
                                                        {"OriginalFilename", "setup.exe"}}));
}

TEST_F(SfxpackTest, Branding_RefusesWhatItCannotWrite) {
  WriteBytes(Path("app.ico"), TinyIcon());
  WriteText(Path("typo.txt"), "ProductNmae=x\n");
  WriteText(Path("broken.ico"), "not an icon");
  WriteBytes(Path("marker.ico"), TinyIcon(";!@Install@!UTF-8!"));
  inputs_ = FolderContents();
  ExpectRefused(Build({"--version-info", Arg(Path("typo.txt"))}), "line 1: expected KEY=VALUE");
  ExpectRefused(Build({"--file-version", "2.x"}), "FileVersion \"2.x\" must be one to four numbers");
  ExpectRefused(Build({"--icon", Arg(Path("broken.ico"))}), "is not an icon file");
  ExpectRefused(Build({"--icon", Arg(Path("marker.ico"))}), "puts a payload marker into its resources");
}

}  // namespace
}  // namespace sfxtest
