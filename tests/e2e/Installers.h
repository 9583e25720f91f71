// Building installers for the end-to-end tests with the real sfxpack.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "TimeLimit.h"

namespace testsupport {

inline const unsigned long kTimeLimit = TimeLimit(30000);

// Exit codes of an installer besides 0 and the setup's own.
constexpr unsigned long kCancelled = 1602;
constexpr unsigned long kPreparationFailed = 0x20001004;
constexpr unsigned long kSetupNotStarted = 0x20001005;

// The configuration most tests pack: the sample archive's setup program.
constexpr char kSampleConfig[] = "[main]\r\nProductName=Sample Product\r\nSetupFileName=setup.exe\r\n";

// The report of a damaged or incomplete installer.
constexpr wchar_t kCorruptText[] =
    L"The setup file is corrupted. If you downloaded this file from the internet, please download it again.";

// Packs stub + configuration text + an archive (the sample one unless
// given) into output, with further sfxpack options when given; fails the
// calling test when sfxpack does.
void PackInstaller(const std::filesystem::path& stub, const std::string& config,
                   const std::filesystem::path& output,
                   const std::filesystem::path& archive = SETUPSFX_SAMPLE_ARCHIVE,
                   const std::wstring& options = L"");

// Sets a variable of this process's environment, and so of the programs it
// starts, or removes it (value null), until the holder goes.
class ScopedVariable {
 public:
  ScopedVariable(const wchar_t* name, const wchar_t* value);
  ~ScopedVariable();
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  std::wstring m_name;
  std::optional<std::wstring> m_old;
};

// Points TMP and TEMP of this process, and so of the installers it starts,
// at a folder of their own, so that tests running side by side never see
// each other's run folders. Restores both at the end.
class PrivateTempFolder {
 public:
  explicit PrivateTempFolder(const std::filesystem::path& folder);
  PrivateTempFolder(const PrivateTempFolder&) = delete;
  PrivateTempFolder& operator=(const PrivateTempFolder&) = delete;

  // The names of the installers' run folders ("hlv...") left in it.
  std::set<std::wstring> RunFolders() const;

 private:
  std::filesystem::path m_folder;
  ScopedVariable m_tmp;
  ScopedVariable m_temp;
};

// The "field=value" lines that the probe build of the stub wrote.
std::map<std::string, std::string> ReadProbe(const std::filesystem::path& file);

// A path as UTF-8, for comparing with what the probe wrote.
std::string Utf8(const std::filesystem::path& path);

}  // namespace testsupport
