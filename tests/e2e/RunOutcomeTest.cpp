// A run that cannot do its work never ends as a success and never hangs:
// without a window it extracts nothing, starts no setup and ends with
// 0x20001004; a removal of its folder that throws still lets it end with
// its exit code.
#include <windows.h>

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
using testsupport::kPreparationFailed;
using testsupport::kSampleConfig;
using testsupport::kTimeLimit;
using testsupport::Quoted;

std::string ReadText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class RunOutcomeTest : public testing::Test {
 protected:
  // Runs an installer packed from stub with the arguments to its end;
  // false when it did not end in time. Each run has a log of its own.
  bool Run(const fs::path& stub, const std::wstring& arguments) {
    const std::wstring name = L"run" + std::to_wstring(++m_runs);
    const fs::path installer = m_dir / (name + L".exe");
    testsupport::PackInstaller(stub, kSampleConfig, installer);
    m_log = m_dir / (name + L".log");
    testsupport::ProcessDriver run(Quoted(installer.wstring()) + L" " + arguments + L" /log " + Quoted(m_log.wstring()));
    if (!run.started() || !run.WaitForExit(kTimeLimit)) return false;
    m_exitCode = run.ExitCode();
    return true;
  }

  testsupport::TempDir m_dir;
  testsupport::PrivateTempFolder m_temp{m_dir / L"temp"};
  const fs::path m_report = m_dir / L"setup-report.txt";
  testsupport::ScopedVariable m_reportVariable{L"SAMPLE_SETUP_REPORT", m_report.c_str()};
  int m_runs = 0;
  fs::path m_log;
  DWORD m_exitCode = 0;
};

// Under Wine a program without DISPLAY gets no display driver ("no driver
// could be loaded"), so no window can be created: as when a service's
// desktop is out of heap on Windows. ctest runs this in such a session
// (RunOutcomeTestNoDisplay, through scripts/wine-run); the installers
// inherit it.
TEST_F(RunOutcomeTest, WithoutAWindowNothingRunsAndTheRunFails) {
  if (GetEnvironmentVariableW(L"SETUPSFX_WINE_NO_DISPLAY", nullptr, 0) == 0 ||
      GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) != 0)
    GTEST_SKIP() << "runs only under Wine without a display";
  for (const std::wstring arguments : {L"/q", L""}) {
    SCOPED_TRACE(L"arguments: '" + arguments + L"'");
    ASSERT_TRUE(Run(SETUPSFX_STUB, arguments)) << "the run did not end";
    EXPECT_EQ(m_exitCode, kPreparationFailed);
    EXPECT_FALSE(fs::exists(m_report)) << "a setup ran";
    EXPECT_TRUE(m_temp.RunFolders().empty());
    const std::string log = ReadText(m_log);
    EXPECT_NE(log.find("The progress dialog could not be created: "), std::string::npos) << log;
  }
}

// The stub's test build whose removal of the run's folder throws, after a
// setup that ran and after an extraction that failed.
TEST_F(RunOutcomeTest, ThrowingRemovalStillEndsTheRunWithItsExitCode) {
  const testsupport::ScopedVariable setupExitCode(L"SAMPLE_SETUP_EXIT_CODE", L"7");
  const fs::path missing = m_dir / L"missing.7z";
  const struct {
    const wchar_t* name;
    std::wstring arguments;
    DWORD exitCode;
  } cases[] = {
      {L"setup ran", L"/q", 7},
      {L"extraction failed", L"/q /e " + Quoted(missing.wstring()), kPreparationFailed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(Run(SETUPSFX_THROWING_CLEANUP_STUB, c.arguments)) << "the run did not end";
    EXPECT_EQ(m_exitCode, c.exitCode);
    const std::string log = ReadText(m_log);
    EXPECT_NE(log.find("The removal of the temporary folder '"), std::string::npos) << log;
  }
}

}  // namespace
