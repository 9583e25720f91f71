// What start-up settles from the configuration and the command line, read
// through a test build of the stub that reports its settings instead of
// installing.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "Installers.h"
#include "ProcessDriver.h"
#include "TempDir.h"
#include "kestlib/SystemInfo.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Quoted;
using testsupport::Utf8;

class RunSettingsTest : public ::testing::Test {
 protected:
  // Packs the configuration, runs the installer with the arguments from the
  // working folder and returns the settings it reported.
  std::map<std::string, std::string> Run(const std::string& config, const std::wstring& args = L"",
                                         const std::wstring& name = L"setup.exe",
                                         const wchar_t* stub = SETUPSFX_PROBE_STUB) {
    const fs::path installer = m_dir / name;
    testsupport::PackInstaller(stub, config, installer);
    const fs::path report = m_dir / L"settings.txt";
    fs::remove(report);
    SetEnvironmentVariableW(L"SETUPSFX_PROBE_OUT", report.c_str());
    testsupport::ProcessDriver run(Quoted(installer.wstring()) + L" " + args, m_dir.path().wstring());
    EXPECT_TRUE(run.WaitForExit(testsupport::kTimeLimit));
    EXPECT_EQ(run.ExitCode(), 0u);
    return testsupport::ReadProbe(report);
  }

  std::string Folder(const std::wstring& name) { return Utf8(m_dir / name) + "\\"; }

  testsupport::TempDir m_dir;
};

TEST_F(RunSettingsTest, EmptyConfigurationGivesEveryDefault) {
  auto s = Run("");
  EXPECT_EQ(s["uiLevel"], "4");
  EXPECT_EQ(s["productName"], "");
  EXPECT_EQ(s["archivePath"], Utf8(m_dir / L"setup.exe"));
  EXPECT_EQ(s["extractDir"].rfind('\\'), s["extractDir"].size() - 1);
  EXPECT_NE(s["extractDir"].find("\\hlv"), std::string::npos) << s["extractDir"];
  EXPECT_EQ(s["setupFileName"], "setup.exe");
  EXPECT_EQ(s["setupParams"], "");
  EXPECT_EQ(s["setupShow"], "1");
  EXPECT_EQ(s["overwriteAnswer"], "1");
  EXPECT_EQ(s["extractOnly"], "0");
  EXPECT_EQ(s["askTargetDir"], "0");
  EXPECT_EQ(s["showLanguageDialog"], "1");
  EXPECT_EQ(s["prettyProgress"], "0");
  EXPECT_EQ(s["forwardResourceData"], "0");
  EXPECT_EQ(s["callerSuppliesDataFile"], "0");
}

TEST_F(RunSettingsTest, TemporaryFolderNameIsFreshForEachRun) {
  const std::string first = Run("")["extractDir"];
  const std::string second = Run("")["extractDir"];
  EXPECT_NE(first, second);
  EXPECT_EQ(first.size(), second.size());
}

TEST_F(RunSettingsTest, SwitchesOnlyCountWhenTheyEqualOne) {
  auto two = Run("[main]\nSfxProgressPretty=2\nForwardResourceDataFromSFX=2\nShowUnzipLanguageDlg=2\n");
  EXPECT_EQ(two["prettyProgress"], "0");
  EXPECT_EQ(two["forwardResourceData"], "0");
  EXPECT_EQ(two["showLanguageDialog"], "0");
  auto one = Run("[main]\nSfxProgressPretty=1\nForwardResourceDataFromSFX=1\n");
  EXPECT_EQ(one["prettyProgress"], "1");
  EXPECT_EQ(one["forwardResourceData"], "1");
}

TEST_F(RunSettingsTest, ExtractOnlyKeyOffersTheDocumentsFolder) {
  auto s = Run("[main]\nExtractOnly=2\n");
  EXPECT_EQ(s["extractOnly"], "1");
  EXPECT_EQ(s["askTargetDir"], "1");
  wchar_t documents[MAX_PATH] = {};
  ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents)));
  EXPECT_EQ(s["extractDir"], Utf8(documents) + "\\");
}

TEST_F(RunSettingsTest, MissingDefaultExtractDirFallsBackToTheProgramsName) {
  auto s = Run("[main]\nExtractOnly=1\nDefaultExtractDir=[TempFolder]no such folder\n", L"", L"Product Setup.exe");
  EXPECT_EQ(s["extractDir"], Folder(L"Product Setup"));
  EXPECT_FALSE(fs::exists(m_dir / L"Product Setup"));
}

TEST_F(RunSettingsTest, DefaultExtractDirIsUsedWhenItExists) {
  fs::create_directory(m_dir / L"target");
  auto s = Run("[main]\nExtractOnly=1\nDefaultExtractDir=" + Utf8(m_dir / L"target") + "\n");
  EXPECT_EQ(s["extractDir"], Folder(L"target"));
}

TEST_F(RunSettingsTest, ExtractSwitchOverridesTheExtractOnlyKeys) {
  fs::create_directory(m_dir / L"target");
  auto s = Run("[main]\nExtractOnly=1\nDefaultExtractDir=" + Utf8(m_dir / L"target") + "\n", L"/x \"my files\"");
  EXPECT_EQ(s["extractOnly"], "1");
  EXPECT_EQ(s["askTargetDir"], "0");
  EXPECT_EQ(s["extractDir"], Folder(L"my files"));
}

TEST_F(RunSettingsTest, AbsoluteExtractFolderIsKept) {
  const fs::path target = m_dir / L"abs";
  auto s = Run("", L"/x " + Quoted(target.wstring()));
  EXPECT_EQ(s["extractDir"], Utf8(target) + "\\");
}

TEST_F(RunSettingsTest, ProgressVisibleZeroLowersOnlyTheNormalLevel) {
  const std::string config = "[main]\nSfxProgressVisible=0\n";
  EXPECT_EQ(Run(config)["uiLevel"], "1");
  EXPECT_EQ(Run(config, L"/qb")["uiLevel"], "2");
  EXPECT_EQ(Run(config, L"/qx")["uiLevel"], "3");
  EXPECT_EQ(Run(config, L"/x out")["uiLevel"], "4");
}

TEST_F(RunSettingsTest, CommandLineValuesReachTheSettings) {
  auto s = Run("", L"/overwriteanswer nO /e D:\\payload.7z -M=C:\\data.dat /qm");
  EXPECT_EQ(s["overwriteAnswer"], "2");
  EXPECT_EQ(s["archivePath"], "D:\\payload.7z");
  EXPECT_EQ(s["callerSuppliesDataFile"], "1");
  EXPECT_EQ(s["uiLevel"], "1");
}

TEST_F(RunSettingsTest, FolderReferencesInSetupNameAndParametersAreExpanded) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  wchar_t longTemp[MAX_PATH] = {};
  GetLongPathNameW(temp, longTemp, MAX_PATH);
  auto s = Run("[main]\nSetupFileName=[SystemFolder]\\msiexec.exe\nSetupParams=/log [TempFolder]x.log [personalfolder]\n");
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  EXPECT_EQ(s["setupFileName"], Utf8(system) + "\\msiexec.exe");
  EXPECT_EQ(s["setupParams"], "/log " + Utf8(longTemp) + "x.log [personalfolder]");
}

TEST_F(RunSettingsTest, ExtractDirReferencesBecomeTheExtractionFolder) {
  auto s = Run("[main]\nSetupFileName=[ExtractDir]bin\\setup.exe\nSetupParams=/log \"[ExtractDir]setup.log\" "
               "[Unknown]\nSetupShow=3\n",
               L"/x out");
  const std::string dir = Folder(L"out");
  EXPECT_EQ(s["setupFileName"], dir + "bin\\setup.exe");
  EXPECT_EQ(s["setupParams"], "/log \"" + dir + "setup.log\" [Unknown]");
  EXPECT_EQ(s["setupShow"], "3");
}

TEST_F(RunSettingsTest, SetupFileName64CountsOnlyOn64BitWindows) {
  auto s = Run("[main]\nSetupFileName=setup32.exe\nSetupFileName64=setup64.exe\n");
  EXPECT_EQ(s["setupFileName"], kestlib::RunsOn64BitWindows() ? "setup64.exe" : "setup32.exe");
  auto empty64 = Run("[main]\nSetupFileName=setup32.exe\nSetupFileName64=\n");
  EXPECT_EQ(empty64["setupFileName"], "setup32.exe");
}

#ifdef SETUPSFX_PEER_PROBE_STUB
// One configuration means the same on one 64-bit Windows to both builds of
// the stub: the same folders and the same setup program.
TEST_F(RunSettingsTest, BothBuildsSettleTheSameFoldersAndSetupFile) {
  if (!kestlib::RunsOn64BitWindows()) GTEST_SKIP() << "the other build runs only on 64-bit Windows";
  if (!fs::exists(SETUPSFX_PEER_PROBE_STUB)) GTEST_SKIP() << "the other build is not there";
  const std::string config =
      "[main]\nSetupFileName=[ProgramFilesFolder]\\a.exe\nSetupFileName64=[ProgramFiles64Folder]\\b.exe\n"
      "SetupParams=[CommonFilesFolder]|[CommonFiles64Folder]|[ProgramFiles6432Folder]\n";
  auto own = Run(config, L"", L"own.exe");
  auto peer = Run(config, L"", L"peer.exe", SETUPSFX_PEER_PROBE_STUB);
  for (auto* s : {&own, &peer}) s->erase("archivePath"), s->erase("extractDir");
  EXPECT_EQ(own, peer);
  EXPECT_EQ(own["setupFileName"], own["folder.ProgramFiles64Folder"] + "\\b.exe");
  EXPECT_NE(own["folder.ProgramFilesFolder"], own["folder.ProgramFiles64Folder"]);
  EXPECT_FALSE(own["folder.CommonFiles64Folder"].empty());
}
#endif

TEST_F(RunSettingsTest, ProductNameAndTextsTravelAsUnicode) {
  auto s = Run("[main]\nProductName=\xCE\xA9mega \xE2\x84\xA2\n");
  EXPECT_EQ(s["productName"], "\xCE\xA9mega \xE2\x84\xA2");
}

}  // namespace
