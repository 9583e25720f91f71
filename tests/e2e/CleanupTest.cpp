// The run's temporary folder goes at the end of every run, also in the
// Wine prefix's own temporary folder, where it used to stay behind, and the
// log names its removal.
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
using testsupport::kSampleConfig;
using testsupport::kTimeLimit;
using testsupport::Quoted;

constexpr int kRuns = 3;

std::string ReadText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The folder that a record about the run's temporary folder names, or empty.
fs::path NamedFolder(const std::string& log) {
  const std::string lead = "temporary folder '";
  const std::size_t start = log.find(lead);
  if (start == std::string::npos) return {};
  const std::size_t end = log.find('\'', start + lead.size());
  return end == std::string::npos ? fs::path() : fs::u8path(log.substr(start + lead.size(), end - start - lead.size()));
}

TEST(CleanupTest, RunFolderInThePrefixsOwnTempIsRemovedAndLogged) {
  const testsupport::TempDir dir;
  const fs::path installer = dir / L"quick.exe";
  testsupport::PackInstaller(SETUPSFX_STUB, kSampleConfig, installer, SETUPSFX_QUICK_ARCHIVE);
  wchar_t temp[MAX_PATH + 1] = {};
  ASSERT_NE(GetTempPathW(MAX_PATH + 1, temp), 0u);

  for (int run = 1; run <= kRuns; ++run) {
    const fs::path log = dir / (L"run" + std::to_wstring(run) + L".log");
    testsupport::ProcessDriver process(Quoted(installer.wstring()) + L" /q /log " + Quoted(log.wstring()));
    ASSERT_TRUE(process.started());
    ASSERT_TRUE(process.WaitForExit(kTimeLimit)) << "run " << run << " did not end";
    EXPECT_EQ(process.ExitCode(), 0u);

    const std::string text = ReadText(log);
    const fs::path folder = NamedFolder(text);
    ASSERT_FALSE(folder.empty()) << "the log of run " << run << " names no removal:\n" << text;
    EXPECT_EQ(folder.parent_path(), fs::path(temp).parent_path()) << folder;
    EXPECT_EQ(folder.filename().wstring().rfind(L"hlv", 0), 0u) << folder;
    EXPECT_NE(text.find("Removed the temporary folder '" + folder.u8string() + "'."), std::string::npos) << text;
    EXPECT_FALSE(fs::exists(folder)) << folder;
    // Nothing of this run stays in the shared folder, whatever the outcome.
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
}

}  // namespace
