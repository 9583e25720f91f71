// Installers that extract their archive behind the progress dialog, run as
// a user or a deployment script would.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <ios>
#include <string>
#include <vector>

#include "Installers.h"
#include "ProcessDriver.h"
#include "TempDir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::kCancelled;
using testsupport::kCorruptText;
using testsupport::kPreparationFailed;
using testsupport::kSampleConfig;
using testsupport::kTimeLimit;
using testsupport::Quoted;

const std::wstring kTitleEnd = L"Extracting...";
const std::wstring kCancelQuestion = L"Do you really want to cancel";
// The slow archive takes about 15 s to extract or clean up under Wine.
const DWORD kSlowRunLimit = 2 * kTimeLimit;

bool EndsWith(const std::wstring& text, const std::wstring& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class ProgressTest : public ::testing::Test {
 protected:
  fs::path Pack(const std::wstring& name, const std::string& config = kSampleConfig,
                const fs::path& archive = SETUPSFX_SAMPLE_ARCHIVE) {
    const fs::path installer = m_dir / name;
    testsupport::PackInstaller(SETUPSFX_STUB, config, installer, archive);
    return installer;
  }

  // The progress dialog of the run, or null when none appeared in time.
  static HWND FindProgressDialog(testsupport::ProcessDriver& run) {
    const ULONGLONG deadline = GetTickCount64() + kTimeLimit;
    while (GetTickCount64() < deadline && !run.WaitForExit(20)) {
      for (HWND window : run.VisibleWindows())
        if (EndsWith(testsupport::WindowText(window), kTitleEnd)) return window;
    }
    return nullptr;
  }

  // Shows or hides the dialog from outside and waits until it took effect;
  // false when the run ended first or the time ran out.
  static bool SetShown(testsupport::ProcessDriver& run, HWND dialog, bool shown) {
    ShowWindowAsync(dialog, shown ? SW_SHOW : SW_HIDE);
    const ULONGLONG deadline = GetTickCount64() + kTimeLimit;
    while (GetTickCount64() < deadline && !run.WaitForExit(10))
      if ((IsWindowVisible(dialog) != FALSE) == shown) return true;
    return false;
  }

  // The question asked on Cancel: another window of the run whose text
  // starts with kCancelQuestion. Null when none appeared in time.
  static HWND FindCancelQuestion(testsupport::ProcessDriver& run, HWND dialog) {
    const ULONGLONG deadline = GetTickCount64() + kTimeLimit;
    while (GetTickCount64() < deadline && !run.WaitForExit(20)) {
      for (HWND window : run.VisibleWindows()) {
        if (window == dialog) continue;
        for (const auto& text : testsupport::StaticTexts(window))
          if (text.rfind(kCancelQuestion, 0) == 0) return window;
      }
    }
    return nullptr;
  }

  // Flips bytes of the archive's packed data; the file keeps its size, so
  // the check of the installer's own file still passes.
  fs::path PackDamaged() {
    const fs::path installer = Pack(L"damaged.exe");
    std::fstream file(installer, std::ios::binary | std::ios::in | std::ios::out);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    for (std::size_t i = bytes.size() - kDamageFromEnd; i < bytes.size() - kDamageFromEnd + kDamageLength; ++i)
      bytes[i] = static_cast<char>(~bytes[i]);
    file.seekp(0);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return installer;
  }

  // The report of the damaged archive, or null when none appeared in time.
  static HWND FindCorruptReport(testsupport::ProcessDriver& run) {
    const ULONGLONG deadline = GetTickCount64() + kTimeLimit;
    while (GetTickCount64() < deadline && !run.WaitForExit(50)) {
      for (HWND window : run.VisibleWindows()) {
        const auto texts = testsupport::StaticTexts(window);
        if (std::find(texts.begin(), texts.end(), kCorruptText) != texts.end()) return window;
      }
    }
    return nullptr;
  }

  // Presses Cancel on the running progress dialog and gives the question
  // the answer; the dialog is returned for further checks.
  static void AnswerCancelQuestion(testsupport::ProcessDriver& run, int answer, HWND& dialog) {
    ASSERT_TRUE(run.started());
    dialog = FindProgressDialog(run);
    ASSERT_NE(dialog, nullptr) << "no progress dialog appeared";
    ASSERT_TRUE(testsupport::PressButton(dialog, IDCANCEL));
    HWND question = FindCancelQuestion(run, dialog);
    ASSERT_NE(question, nullptr) << "Cancel asked no question";
    ASSERT_TRUE(testsupport::PressButton(question, answer));
  }

  static constexpr std::size_t kDamageFromEnd = 150;
  static constexpr std::size_t kDamageLength = 8;
  testsupport::TempDir m_dir;
  testsupport::PrivateTempFolder m_temp{m_dir / L"temp"};
};

TEST_F(ProgressTest, ExtractOnlyRunFillsTheFolderAndKeepsIt) {
  const fs::path installer = Pack(L"extract.exe");
  const fs::path target = m_dir / L"target";
  testsupport::ProcessDriver run(Quoted(installer.wstring()) + L" /q /x " + Quoted(target.wstring()));
  ASSERT_TRUE(run.started());
  EXPECT_EQ(run.WaitForWindow(kTimeLimit), nullptr) << "a window appeared in a silent run";
  ASSERT_TRUE(run.WaitForExit(kTimeLimit));
  EXPECT_EQ(run.ExitCode(), 0u);
  std::ifstream readme(target / L"readme.txt", std::ios::binary);
  ASSERT_TRUE(readme.is_open()) << "readme.txt was not extracted";
  const std::string text((std::istreambuf_iterator<char>(readme)), std::istreambuf_iterator<char>());
  EXPECT_FALSE(text.empty());
}

TEST_F(ProgressTest, SilentRunRemovesItsTemporaryFolder) {
  const fs::path installer = Pack(L"silent.exe");
  testsupport::ProcessDriver run(Quoted(installer.wstring()) + L" /q");
  ASSERT_TRUE(run.WaitForExit(kTimeLimit));
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_TRUE(m_temp.RunFolders().empty());
}

TEST_F(ProgressTest, VisibleRunShowsProgressAndEndsByItself) {
  // Many small files keep the dialog on screen for a while.
  const fs::path installer = Pack(L"visible.exe", kSampleConfig, SETUPSFX_MANY_FILES_ARCHIVE);
  testsupport::ProcessDriver run(Quoted(installer.wstring()));
  ASSERT_TRUE(run.started());
  EXPECT_TRUE(FindProgressDialog(run) != nullptr) << "no progress dialog appeared";
  ASSERT_TRUE(run.WaitForExit(kTimeLimit)) << "the dialog did not close by itself";
  EXPECT_EQ(run.ExitCode(), 0u);
}

TEST_F(ProgressTest, LargeLayoutRunEndsByItself) {
  const fs::path installer =
      Pack(L"pretty.exe", std::string(kSampleConfig) + "SfxProgressPretty=1\r\n", SETUPSFX_MANY_FILES_ARCHIVE);
  testsupport::ProcessDriver run(Quoted(installer.wstring()));
  EXPECT_TRUE(FindProgressDialog(run) != nullptr) << "no progress dialog appeared";
  ASSERT_TRUE(run.WaitForExit(kTimeLimit)) << "the dialog did not close by itself";
  EXPECT_EQ(run.ExitCode(), 0u);
}

TEST_F(ProgressTest, ShowingTheDialogAgainStartsNoSecondExtraction) {
  const fs::path installer = Pack(L"reshown.exe", kSampleConfig, SETUPSFX_MANY_FILES_ARCHIVE);
  testsupport::ProcessDriver run(Quoted(installer.wstring()));
  ASSERT_TRUE(run.started());
  HWND dialog = FindProgressDialog(run);
  ASSERT_NE(dialog, nullptr) << "no progress dialog appeared";
  // Each show brings WM_WINDOWPOSCHANGED with SWP_SHOWWINDOW again.
  int shows = 0;
  while (shows < 3 && SetShown(run, dialog, false) && SetShown(run, dialog, true)) ++shows;
  ASSERT_GT(shows, 0) << "the dialog was not shown again while the run went on";
  ASSERT_TRUE(run.WaitForExit(kTimeLimit)) << "the run did not end by itself; an error box may be waiting";
  EXPECT_EQ(run.ExitCode(), 0u) << "exit code 0x" << std::hex << run.ExitCode();
  EXPECT_TRUE(m_temp.RunFolders().empty());
}

TEST_F(ProgressTest, DamagedArchiveIsReportedAndFails) {
  const fs::path installer = PackDamaged();
  testsupport::ProcessDriver run(Quoted(installer.wstring()) + L" /qb");
  HWND box = FindCorruptReport(run);
  ASSERT_NE(box, nullptr) << "no error report appeared";
  ASSERT_TRUE(testsupport::PressButton(box, IDOK));
  ASSERT_TRUE(run.WaitForExit(kTimeLimit));
  EXPECT_EQ(run.ExitCode(), kPreparationFailed);
  EXPECT_TRUE(m_temp.RunFolders().empty());
}

// The progress dialog is on the task bar already; a box of its run does
// not add a second button.
TEST_F(ProgressTest, ReportDuringTheRunHasNoTaskBarButtonOfItsOwn) {
  const fs::path installer = PackDamaged();
  testsupport::ProcessDriver run(Quoted(installer.wstring()));
  HWND box = FindCorruptReport(run);
  ASSERT_NE(box, nullptr) << "no error report appeared";
  EXPECT_EQ(GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
  ASSERT_TRUE(testsupport::PressButton(box, IDOK));
  ASSERT_TRUE(run.WaitForExit(kTimeLimit));
}

TEST_F(ProgressTest, SilentRunOfADamagedArchiveShowsNothingAndFails) {
  const fs::path installer = PackDamaged();
  testsupport::ProcessDriver run(Quoted(installer.wstring()) + L" /q");
  EXPECT_EQ(run.WaitForWindow(kTimeLimit), nullptr) << "a window appeared in a silent run";
  ASSERT_TRUE(run.WaitForExit(kTimeLimit));
  EXPECT_EQ(run.ExitCode(), kPreparationFailed);
  EXPECT_TRUE(m_temp.RunFolders().empty());
}

TEST_F(ProgressTest, ConfirmedCancelStopsTheRunAndRemovesItsFolder) {
  const fs::path installer = Pack(L"cancel.exe", kSampleConfig, SETUPSFX_SLOW_ARCHIVE);
  testsupport::ProcessDriver run(Quoted(installer.wstring()));
  HWND dialog = nullptr;
  ASSERT_NO_FATAL_FAILURE(AnswerCancelQuestion(run, IDYES, dialog));
  // The button stays disabled while the worker stops and cleans up.
  bool sawDisabled = false;
  const ULONGLONG deadline = GetTickCount64() + kTimeLimit;
  while (!sawDisabled && GetTickCount64() < deadline && !run.WaitForExit(0)) {
    HWND cancel = GetDlgItem(dialog, IDCANCEL);
    sawDisabled = cancel && IsWindow(dialog) && !IsWindowEnabled(cancel);
  }
  EXPECT_TRUE(sawDisabled) << "Cancel was not disabled before the run ended";
  ASSERT_TRUE(run.WaitForExit(kSlowRunLimit)) << "the run did not end after Cancel";
  EXPECT_EQ(run.ExitCode(), kCancelled);
  EXPECT_TRUE(m_temp.RunFolders().empty());
}

TEST_F(ProgressTest, DeclinedCancelLetsTheRunFinish) {
  const fs::path installer = Pack(L"keepgoing.exe", kSampleConfig, SETUPSFX_SLOW_ARCHIVE);
  testsupport::ProcessDriver run(Quoted(installer.wstring()));
  HWND dialog = nullptr;
  ASSERT_NO_FATAL_FAILURE(AnswerCancelQuestion(run, IDNO, dialog));
  ASSERT_TRUE(run.WaitForExit(kSlowRunLimit)) << "the run did not finish after No";
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_TRUE(m_temp.RunFolders().empty());
}

TEST_F(ProgressTest, MinimalUiRunShowsNothingAndSucceeds) {
  const fs::path installer = Pack(L"minimal.exe", kSampleConfig, SETUPSFX_MANY_FILES_ARCHIVE);
  testsupport::ProcessDriver run(Quoted(installer.wstring()) + L" /qm");
  ASSERT_TRUE(run.started());
  EXPECT_EQ(run.WaitForWindow(kTimeLimit), nullptr) << "a window appeared in a /qm run";
  ASSERT_TRUE(run.WaitForExit(kTimeLimit));
  EXPECT_EQ(run.ExitCode(), 0u);
}

}  // namespace
