// Installers packed by sfxpack from the real stub, started as a user would.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "Installers.h"
#include "ProcessDriver.h"
#include "TempDir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::kCorruptText;
using testsupport::kPreparationFailed;
using testsupport::kTimeLimit;
using testsupport::Quoted;

class StartupTest : public ::testing::Test {
 protected:
  // Packs an installer with the given configuration text into the folder.
  fs::path Pack(const std::string& config, const fs::path& output) {
    testsupport::PackInstaller(SETUPSFX_STUB, config, output);
    return output;
  }

  // The stub as it is built: a file without configuration block.
  std::wstring BareInstaller() {
    const fs::path installer = m_dir / L"setup.exe";
    fs::copy_file(SETUPSFX_STUB, installer);
    return Quoted(installer.wstring());
  }

  testsupport::TempDir m_dir;
};

TEST_F(StartupTest, FileWithoutBlockShowsCorruptMessageAndFails) {
  testsupport::ProcessDriver run(BareInstaller());
  ASSERT_TRUE(run.started());
  HWND box = run.WaitForWindow(kTimeLimit);
  ASSERT_NE(box, nullptr) << "no message box appeared";
  EXPECT_EQ(testsupport::WindowText(box), L"Setup Self-Extractor");
  const auto texts = testsupport::StaticTexts(box);
  EXPECT_NE(std::find(texts.begin(), texts.end(), kCorruptText), texts.end());

  ASSERT_TRUE(testsupport::PressButton(box, IDOK));
  ASSERT_TRUE(run.WaitForExit(kTimeLimit));
  EXPECT_EQ(run.ExitCode(), kPreparationFailed);
}

TEST_F(StartupTest, SilentRunOfABrokenInstallerShowsNothingAndLeavesItsLog) {
  const fs::path log = m_dir / L"run.log";
  testsupport::ProcessDriver run(BareInstaller() + L" /q /log " + Quoted(log.wstring()));
  EXPECT_EQ(run.WaitForWindow(kTimeLimit), nullptr) << "a window appeared in a silent run";
  ASSERT_TRUE(run.WaitForExit(kTimeLimit));
  EXPECT_EQ(run.ExitCode(), kPreparationFailed);

  std::ifstream in(log, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (const char* record : {"[4] MessageBox: text='The setup file is corrupted.",
                             "[4] Skipping MessageBox because UiLevel is Silent.\r\n",
                             "Start-up phase configuration: failed.\r\n", "Exit code: 0x20001004\r\n"})
    EXPECT_NE(text.find(record), std::string::npos) << record << "\nin:\n" << text;
}

TEST_F(StartupTest, ReducedLevelsStillShowErrors) {
  testsupport::ProcessDriver run(BareInstaller() + L" /qb");
  HWND box = run.WaitForWindow(kTimeLimit);
  ASSERT_NE(box, nullptr);
  ASSERT_TRUE(testsupport::PressButton(box, IDOK));
  ASSERT_TRUE(run.WaitForExit(kTimeLimit));
  EXPECT_EQ(run.ExitCode(), kPreparationFailed);
}

TEST_F(StartupTest, HelpIsShownEvenInSilentRunsAndEndsWithZero) {
  // A file without configuration: help comes before the configuration is read.
  testsupport::ProcessDriver run(BareInstaller() + L" /q -? /x");
  HWND box = run.WaitForWindow(kTimeLimit);
  ASSERT_NE(box, nullptr) << "no help box appeared";
  EXPECT_EQ(testsupport::WindowText(box), L"Setup Self-Extractor");
  const auto texts = testsupport::StaticTexts(box);
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.back().rfind(L"Usage: setup.exe [parameter]", 0), 0u) << "help text missing";
  ASSERT_TRUE(testsupport::PressButton(box, IDOK));
  ASSERT_TRUE(run.WaitForExit(kTimeLimit));
  EXPECT_EQ(run.ExitCode(), 0u);
}

TEST_F(StartupTest, MissingStringTablesAreReportedEvenInSilentRuns) {
  const fs::path installer = m_dir / L"nostrings.exe";
  fs::copy_file(SETUPSFX_NOSTRINGS_STUB, installer);

  // The tables are loaded before the command line is read.
  testsupport::ProcessDriver run(Quoted(installer.wstring()) + L" /q");
  HWND box = run.WaitForWindow(kTimeLimit);
  ASSERT_NE(box, nullptr) << "no message box appeared";
  const auto texts = testsupport::StaticTexts(box);
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.back().rfind(L"Could not load string resources.\n", 0), 0u) << texts.back();
  EXPECT_NE(texts.back().find(L"Failed to load resource"), std::wstring::npos) << texts.back();
  ASSERT_TRUE(testsupport::PressButton(box, IDOK));
  ASSERT_TRUE(run.WaitForExit(kTimeLimit));
  EXPECT_EQ(run.ExitCode(), 0x20000002u);
}

TEST_F(StartupTest, GoodBlockEndsWithZero) {
  const fs::path installer = Pack("[main]\r\nProductName=Sample Product\r\nSetupFileName=setup.exe\r\n",
                                  m_dir / L"good.exe");
  testsupport::ProcessDriver run(Quoted(installer.wstring()));
  ASSERT_TRUE(run.started());
  ASSERT_TRUE(run.WaitForExit(kTimeLimit)) << "the run did not end; a window may be waiting";
  EXPECT_EQ(run.ExitCode(), 0u);
}

TEST_F(StartupTest, EmptyConfigurationRunsWithDefaults) {
  const fs::path installer = Pack("", m_dir / L"defaults.exe");
  testsupport::ProcessDriver run(Quoted(installer.wstring()));
  ASSERT_TRUE(run.WaitForExit(kTimeLimit));
  EXPECT_EQ(run.ExitCode(), 0u);
}

TEST_F(StartupTest, InstallerInAFolderWithNonAsciiNameFindsItsBlock) {
  const fs::path folder = m_dir / L"\u03A9mega \u00FCber";
  fs::create_directory(folder);
  const fs::path installer = Pack("[main]\nProductName=\xCE\xA9\n", folder / L"setup \u00E9.exe");
  testsupport::ProcessDriver run(Quoted(installer.wstring()), folder.wstring());
  ASSERT_TRUE(run.WaitForExit(kTimeLimit));
  EXPECT_EQ(run.ExitCode(), 0u);
}

// The folder picker of an extract-only run, or null when none appeared.
HWND FindPicker(testsupport::ProcessDriver& run) {
  const ULONGLONG deadline = GetTickCount64() + kTimeLimit;
  while (GetTickCount64() < deadline && !run.WaitForExit(20))
    for (HWND window : run.VisibleWindows())
      if (testsupport::WindowText(window).find(L"Choose destination location") != std::wstring::npos) return window;
  return nullptr;
}

BOOL CALLBACK SetEditText(HWND child, LPARAM text) {
  wchar_t name[32] = {};
  GetClassNameW(child, name, 32);
  if (std::wstring(name) == L"Edit") SendMessageW(child, WM_SETTEXT, 0, text);
  return TRUE;
}

TEST_F(StartupTest, ExtractOnlyRunWhosePickerIsCancelledExtractsNothing) {
  const fs::path target = m_dir / L"target";
  fs::create_directory(target);
  const fs::path installer =
      Pack("[main]\nExtractOnly=2\nDefaultExtractDir=" + testsupport::Utf8(target) + "\n", m_dir / L"extract.exe");
  testsupport::ProcessDriver run(Quoted(installer.wstring()), m_dir.path().wstring());
  ASSERT_TRUE(run.started());
  HWND picker = FindPicker(run);
  ASSERT_NE(picker, nullptr) << "no folder picker appeared";
  ASSERT_TRUE(testsupport::PressButton(picker, IDCANCEL));
  ASSERT_TRUE(run.WaitForExit(kTimeLimit));
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_FALSE(fs::exists(m_dir / L"extract"));
  EXPECT_TRUE(fs::is_empty(target));
}

TEST_F(StartupTest, ExtractOnlyRunExtractsIntoThePickedFolder) {
  const fs::path start = m_dir / L"start";
  const fs::path picked = m_dir / L"picked";
  fs::create_directory(start);
  fs::create_directory(picked);
  const fs::path installer =
      Pack("[main]\nExtractOnly=1\nDefaultExtractDir=" + testsupport::Utf8(start) + "\n", m_dir / L"pick.exe");
  testsupport::ProcessDriver run(Quoted(installer.wstring()) + L" /qb", m_dir.path().wstring());
  HWND picker = FindPicker(run);
  ASSERT_NE(picker, nullptr) << "no folder picker appeared";
  // The picker's file name box takes the folder; OK enters it, and OK in a
  // folder picker then picks the folder it shows.
  const std::wstring path = picked.wstring();
  EnumChildWindows(picker, SetEditText, reinterpret_cast<LPARAM>(path.c_str()));
  for (int press = 0; press < 2 && IsWindow(picker); ++press) {
    testsupport::PressButton(picker, IDOK);
    run.WaitForExit(2000);
  }
  ASSERT_TRUE(run.WaitForExit(kTimeLimit));
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_TRUE(fs::exists(picked / L"readme.txt"));
  EXPECT_TRUE(fs::is_empty(start));
}

TEST_F(StartupTest, InspectShowsTheConfigurationTheStubReads) {
  const std::string config = "[main]\nProductName=Inspected\n";
  const fs::path installer = Pack(config, m_dir / L"inspected.exe");
  std::string out;
  ASSERT_EQ(testsupport::RunToEnd(Quoted(SETUPSFX_SFXPACK) + L" inspect " + Quoted(installer.wstring()), kTimeLimit,
                                  &out),
            0)
      << out;
  EXPECT_NE(out.find("ProductName=Inspected"), std::string::npos) << out;
  EXPECT_NE(out.find(std::to_string(fs::file_size(installer))), std::string::npos) << out;
}

}  // namespace
