#include "kestlib/ProcessLaunch.h"

#include <windows.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TempDir.h"
#include "TimeLimit.h"

namespace {

using kestlib::LaunchFlags;
using kestlib::LaunchProcess;
using kestlib::ProcessInformation;
using testsupport::TempDir;

const DWORD kWaitLimitMs = testsupport::TimeLimit(30000);

std::wstring ThisFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

std::wstring ProbePath() { return ThisFolder() + L"LaunchProbe.exe"; }

// What the probe reported: current folder, command line, arguments.
struct ProbeReport {
  std::wstring folder;
  std::wstring commandLine;
  std::vector<std::wstring> arguments;
};

// Folders compare without a trailing backslash and case.
bool SameFolder(std::wstring a, std::wstring b) {
  while (!a.empty() && a.back() == L'\\') a.pop_back();
  while (!b.empty() && b.back() == L'\\') b.pop_back();
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

class ProcessLaunchTest : public testing::Test {
 protected:
  void SetUp() override {
    SetEnvironmentVariableW(L"LAUNCHPROBE_REPORT", ReportPath().c_str());
    SetEnvironmentVariableW(L"LAUNCHPROBE_EXIT", nullptr);
  }
  void TearDown() override { SetEnvironmentVariableW(L"LAUNCHPROBE_REPORT", nullptr); }

  std::wstring ReportPath() const { return (m_temp / L"report.txt").wstring(); }

  // Waits for the started probe (with a limit) and returns its exit code.
  static DWORD ExitCodeOf(const ProcessInformation& info) {
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(info.process.get(), kWaitLimitMs));
    DWORD code = STILL_ACTIVE;
    EXPECT_TRUE(GetExitCodeProcess(info.process.get(), &code));
    return code;
  }

  ProbeReport Launch(const std::wstring& program, const std::optional<std::wstring>& arguments,
                     const std::optional<std::wstring>& folder, LaunchFlags flags) {
    ProcessInformation info;
    const HRESULT hr = LaunchProcess(nullptr, program, arguments, &info, folder, SW_HIDE, flags);
    EXPECT_EQ(S_OK, hr);
    if (hr == S_OK) {
      EXPECT_EQ(0u, ExitCodeOf(info));
    }
    return ReadReport();
  }

  ProbeReport ReadReport() const {
    ProbeReport report;
    const HANDLE file = CreateFileW(ReportPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                    nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      ADD_FAILURE() << "the probe wrote no report";
      return report;
    }
    std::wstring text(GetFileSize(file, nullptr) / sizeof(wchar_t), L'\0');
    DWORD read = 0;
    ReadFile(file, &text[0], static_cast<DWORD>(text.size() * sizeof(wchar_t)), &read, nullptr);
    CloseHandle(file);
    std::wistringstream lines(text);
    std::getline(lines, report.folder);
    std::getline(lines, report.commandLine);
    for (std::wstring line; std::getline(lines, line);) report.arguments.push_back(line);
    return report;
  }

  TempDir m_temp;
};

TEST_F(ProcessLaunchTest, LaunchProcess_StartsInProgramFolderWhenNoneIsGiven) {
  for (const LaunchFlags flags : {LaunchFlags::ForceCreateProcess, LaunchFlags::None}) {
    const ProbeReport report = Launch(ProbePath(), std::nullopt, std::nullopt, flags);
    EXPECT_TRUE(SameFolder(ThisFolder(), report.folder)) << report.folder;
  }
}

TEST_F(ProcessLaunchTest, LaunchProcess_StartsInGivenWorkingFolder) {
  const std::wstring folder = (m_temp / L"Arbeitsverzeichnis_\u00FC\u65E5").wstring();
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  for (const LaunchFlags flags : {LaunchFlags::ForceCreateProcess, LaunchFlags::None}) {
    const ProbeReport report = Launch(ProbePath(), std::nullopt, folder, flags);
    EXPECT_TRUE(SameFolder(folder, report.folder)) << report.folder;
  }
}

TEST_F(ProcessLaunchTest, LaunchProcess_BareProgramNameStartsInCurrentFolder) {
  wchar_t previous[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(m_temp.path().c_str()));
  // Found in this program's folder, started in the current one.
  const ProbeReport report = Launch(L"LaunchProbe.exe", std::nullopt, std::nullopt, LaunchFlags::ForceCreateProcess);
  SetCurrentDirectoryW(previous);
  EXPECT_TRUE(SameFolder(m_temp.path().wstring(), report.folder)) << report.folder;
}

TEST_F(ProcessLaunchTest, LaunchProcess_PassesExitCodeThroughProcessInformation) {
  SetEnvironmentVariableW(L"LAUNCHPROBE_EXIT", L"1603");
  ProcessInformation info;
  ASSERT_EQ(S_OK, LaunchProcess(nullptr, ProbePath(), std::nullopt, &info, std::nullopt, SW_HIDE,
                                LaunchFlags::ForceCreateProcess));
  EXPECT_TRUE(info.thread);
  EXPECT_NE(0u, info.processId);
  EXPECT_NE(0u, info.threadId);
  EXPECT_EQ(1603u, ExitCodeOf(info));
}

TEST_F(ProcessLaunchTest, LaunchProcess_ThroughShellFillsOnlyTheProcessHandle) {
  SetEnvironmentVariableW(L"LAUNCHPROBE_EXIT", L"3010");
  ProcessInformation info;
  ASSERT_EQ(S_OK, LaunchProcess(nullptr, ProbePath(), std::nullopt, &info, std::nullopt, SW_HIDE, LaunchFlags::None));
  EXPECT_FALSE(info.thread);
  EXPECT_EQ(0u, info.processId);
  EXPECT_EQ(0u, info.threadId);
  EXPECT_EQ(3010u, ExitCodeOf(info));
}

TEST_F(ProcessLaunchTest, LaunchProcess_PassesArgumentsAsGiven) {
  const std::wstring arguments = L"/l \"two words\" \"\" -m C:\\a\\SetupValues.dat \u00E9\u65E5";
  const std::vector<std::wstring> expected = {L"/l", L"two words", L"", L"-m", L"C:\\a\\SetupValues.dat",
                                              L"\u00E9\u65E5"};
  for (const LaunchFlags flags : {LaunchFlags::ForceCreateProcess, LaunchFlags::None}) {
    const ProbeReport report = Launch(ProbePath(), arguments, std::nullopt, flags);
    EXPECT_EQ(expected, report.arguments);
  }
}

TEST_F(ProcessLaunchTest, LaunchProcess_EmptyArgumentsStillAddTheBlank) {
  const ProbeReport report = Launch(ProbePath(), std::wstring(), std::nullopt, LaunchFlags::ForceCreateProcess);
  EXPECT_EQ(L"\"" + ProbePath() + L"\" ", report.commandLine);
  EXPECT_TRUE(report.arguments.empty());
}

TEST_F(ProcessLaunchTest, LaunchProcess_MissingProgramFailsWithFileNotFound) {
  const std::wstring missing = (m_temp / L"missing.exe").wstring();
  for (const LaunchFlags flags : {LaunchFlags::ForceCreateProcess, LaunchFlags::None}) {
    ProcessInformation info;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
              LaunchProcess(nullptr, missing, std::nullopt, &info, std::nullopt, SW_HIDE, flags));
    EXPECT_FALSE(info.process);
  }
}

TEST_F(ProcessLaunchTest, LaunchProcess_RefusesQuoteInProgramAndElevationWithoutShell) {
  EXPECT_EQ(E_INVALIDARG, LaunchProcess(nullptr, ThisFolder() + L"a\" b.exe", std::nullopt, nullptr, std::nullopt,
                                        SW_HIDE, LaunchFlags::ForceCreateProcess));
  EXPECT_EQ(E_INVALIDARG, LaunchProcess(nullptr, ProbePath(), std::nullopt, nullptr, std::nullopt, SW_HIDE,
                                        LaunchFlags::ForceCreateProcess | LaunchFlags::Elevate));
}

}  // namespace
