// Where build finds a stub that the command line does not name, and what
// --version says of the stubs.
#include <gtest/gtest.h>

#include <sstream>

#include "Errors.h"
#include "StubSearch.h"
#include "SfxpackFixture.h"

namespace sfxtest {
namespace {

using sfxpack::FindStub;
using sfxpack::StubFolders;

TEST(StubSearch, LooksBesideTheProgramThenInShareThenInTheVariable) {
  const fs::path program = fs::path("opt") / "tools" / "bin" / "sfxpack";
  const std::vector<fs::path> folders = {fs::path("opt") / "tools" / "bin",
                                         fs::path("opt") / "tools" / "share" / "setupsfx", "stubs"};
  EXPECT_EQ(StubFolders(program, std::string("stubs")), folders);
  EXPECT_EQ(StubFolders(program, std::nullopt), std::vector<fs::path>(folders.begin(), folders.begin() + 2));
}

class StubSearchTest : public SfxpackTest {};

TEST_F(StubSearchTest, TakesTheFirstFolderThatHoldsTheArchitecturesStub) {
  fs::create_directories(Path("first"));
  fs::create_directories(Path("second"));
  WriteText(Path("first/setupsfx64.exe"), "MZ");
  WriteText(Path("second/setupsfx64.exe"), "MZ");
  WriteText(Path("second/setupsfx.exe"), "MZ");
  const std::vector<fs::path> folders = {Path("first"), Path("second")};
  EXPECT_EQ(FindStub("x64", folders), Path("first/setupsfx64.exe"));
  EXPECT_EQ(FindStub("x86", folders), Path("second/setupsfx.exe"));
  EXPECT_EQ(FindStub("x86", {Path("first")}), std::nullopt);
}

TEST_F(StubSearchTest, MissingStubSaysWhereItLookedAndHowToNameOne) {
  try {
    sfxpack::RequireStub("x64", {Path("bin"), Path("share")});
    FAIL() << "a missing stub was accepted";
  } catch (const sfxpack::PackError& e) {
    EXPECT_EQ(std::string(e.what()), "no x64 stub (setupsfx64.exe) in \"" + Arg(Path("bin")) + "\", \"" +
                                         Arg(Path("share")) +
                                         "\"; name one with --stub FILE, or set SFXPACK_STUB_DIR to the "
                                         "folder that holds it");
  }
}

TEST_F(StubSearchTest, VersionNamesEachStubFoundOrNotFound) {
  // Only the version resource is read: a branded build stands in for a stub.
  ASSERT_EQ(Build({"--file-version", "2.5.0.1"}), 0) << err_.str();
  fs::copy_file(output_, Path("setupsfx.exe"));
  std::ostringstream out;
  sfxpack::PrintStubVersions({dir_}, out);
  EXPECT_EQ(out.str(), "stub x86 (setupsfx.exe): 2.5.0.1, " + Arg(Path("setupsfx.exe")) +
                           "\nstub x64 (setupsfx64.exe): not found\nstub arm64 (setupsfxarm64.exe): not found\n");
  WriteText(Path("setupsfx64.exe"), "junk");
  out.str("");
  sfxpack::PrintStubVersions({dir_}, out);
  EXPECT_NE(out.str().find("stub x64 (setupsfx64.exe): not a Windows program (PE image), "), std::string::npos)
      << out.str();
}

}  // namespace
}  // namespace sfxtest
