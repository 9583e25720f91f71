// The hand-over to the real setup: which program the installer starts,
// what it hands over, and how the setup's end becomes the installer's.
// The archives carry the sample's setup program, which writes a report of
// what it received to the file named by SAMPLE_SETUP_REPORT.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "Installers.h"
#include "ProcessDriver.h"
#include "TempDir.h"
#include "core/handoff/ForwardedDataFormat.h"
#include "kestlib/ErrorText.h"
#include "kestlib/Holders.h"
#include "kestlib/io/Utf8.h"

namespace {

namespace fs = std::filesystem;
using testsupport::kSampleConfig;
using testsupport::kSetupNotStarted;
using testsupport::kTimeLimit;
using testsupport::Quoted;

// Wine's installer service takes its time on a first start.
const DWORD kPackageTimeLimit = testsupport::TimeLimit(180000);

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// What the setup program wrote: "key: value" lines, keys repeated.
class Report {
 public:
  explicit Report(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
      const std::size_t colon = line.find(": ");
      if (colon != std::string::npos) m_lines.emplace(line.substr(0, colon), line.substr(colon + 2));
    }
  }
  bool empty() const { return m_lines.empty(); }
  std::string One(const std::string& key) const {
    const auto found = m_lines.find(key);
    return found == m_lines.end() ? std::string() : found->second;
  }
  std::vector<std::string> All(const std::string& key) const {
    std::vector<std::string> values;
    for (auto [it, end] = m_lines.equal_range(key); it != end; ++it) values.push_back(it->second);
    return values;
  }

 private:
  std::multimap<std::string, std::string> m_lines;
};

class SetupLaunchTest : public ::testing::Test {
 protected:
  SetupLaunchTest() : m_report(m_dir / L"report.txt") {
    SetEnvironmentVariableW(L"SAMPLE_SETUP_REPORT", m_report.c_str());
  }
  ~SetupLaunchTest() override {
    SetEnvironmentVariableW(L"SAMPLE_SETUP_REPORT", nullptr);
    SetEnvironmentVariableW(L"SAMPLE_SETUP_EXIT_CODE", nullptr);
  }

  fs::path Pack(const std::wstring& name, const std::string& config = kSampleConfig,
                const fs::path& archive = SETUPSFX_SAMPLE_ARCHIVE, const std::wstring& options = L"") {
    const fs::path installer = m_dir / name;
    testsupport::PackInstaller(SETUPSFX_STUB, config, installer, archive, options);
    return installer;
  }

  // Runs an installer that needs no answers to its end; its exit code.
  static DWORD Run(const std::wstring& commandLine, DWORD limit = kTimeLimit) {
    testsupport::ProcessDriver run(commandLine);
    EXPECT_TRUE(run.started());
    if (!run.WaitForExit(limit)) {
      ADD_FAILURE() << "the run did not end; a window may be waiting";
      return 0xFFFFFFFF;
    }
    return run.ExitCode();
  }

  Report ReadReport() const { return Report(m_report); }

  testsupport::TempDir m_dir;
  testsupport::PrivateTempFolder m_temp{m_dir / L"temp"};
  fs::path m_report;
};

TEST_F(SetupLaunchTest, SetupGetsItsParametersThenTheInstallersArgumentsAndRunsInItsFolder) {
  const fs::path installer = Pack(L"args.exe", std::string(kSampleConfig) + "SetupParams=/p \"a b\"\r\n");
  EXPECT_EQ(Run(Quoted(installer.wstring()) + L" /q one \"two words\"  \"\""), 0u);

  const Report report = ReadReport();
  ASSERT_FALSE(report.empty()) << "the setup program did not run";
  EXPECT_TRUE(EndsWith(report.One("command line"), "setup.exe\" /p \"a b\" /q one \"two words\"  \"\""))
      << report.One("command line");
  EXPECT_EQ(report.All("argument"), (std::vector<std::string>{"/p", "a b", "/q", "one", "two words", ""}));
  const fs::path folder = fs::u8path(report.One("working folder"));
  EXPECT_EQ(fs::u8path(report.One("program")), folder / L"setup.exe");
  EXPECT_EQ(report.All("beside it"), (std::vector<std::string>{"readme.txt", "setup.exe"}));
  // The run's own folder, removed once the setup has ended.
  EXPECT_EQ(folder.filename().wstring().rfind(L"hlv", 0), 0u) << folder;
  EXPECT_FALSE(fs::exists(folder));
  EXPECT_TRUE(m_temp.RunFolders().empty());
}

TEST_F(SetupLaunchTest, SetupExitCodeBecomesTheInstallersOwn) {
  const fs::path installer = Pack(L"codes.exe");
  for (const auto& [given, expected] : std::vector<std::pair<const wchar_t*, DWORD>>{
           {L"3010", 3010u}, {L"-5", 0xFFFFFFFBu}, {L"0x7FFFFFFF", 0x7FFFFFFFu}, {L"1602", 1602u}}) {
    SetEnvironmentVariableW(L"SAMPLE_SETUP_EXIT_CODE", given);
    EXPECT_EQ(Run(Quoted(installer.wstring()) + L" /q"), expected) << given;
  }
}

TEST_F(SetupLaunchTest, SetupInTheProductSubfolderIsFound) {
  const fs::path installer = Pack(L"product.exe", kSampleConfig, SETUPSFX_PRODUCT_ARCHIVE);
  EXPECT_EQ(Run(Quoted(installer.wstring()) + L" /q"), 0u);
  const Report report = ReadReport();
  EXPECT_TRUE(EndsWith(report.One("program"), "\\product\\setup.exe")) << report.One("program");
  EXPECT_TRUE(EndsWith(report.One("working folder"), "\\product")) << report.One("working folder");
}

TEST_F(SetupLaunchTest, MissingSetupIsReportedWithItsPath) {
  const fs::path installer =
      Pack(L"missing.exe", "[main]\r\nProductName=Sample Product\r\nSetupFileName=nosuch.exe\r\n");
  testsupport::ProcessDriver run(Quoted(installer.wstring()) + L" /qb");
  ASSERT_TRUE(run.started());
  // Without the product subfolder the system may call it a missing path.
  const std::wstring starts[] = {kestlib::SystemErrorText(ERROR_FILE_NOT_FOUND) + L"\n\n",
                                 kestlib::SystemErrorText(ERROR_PATH_NOT_FOUND) + L"\n\n"};
  const std::wstring end = L"\\product\\nosuch.exe";
  HWND box = nullptr;
  std::wstring text;
  const ULONGLONG deadline = GetTickCount64() + kTimeLimit;
  while (!box && GetTickCount64() < deadline && !run.WaitForExit(50)) {
    for (HWND window : run.VisibleWindows()) {
      for (const std::wstring& shown : testsupport::StaticTexts(window)) {
        if (shown.rfind(starts[0], 0) == 0 || shown.rfind(starts[1], 0) == 0) {
          box = window;
          text = shown;
        }
      }
    }
  }
  ASSERT_NE(box, nullptr) << "no error box appeared";
  EXPECT_EQ(testsupport::WindowText(box), L"Sample Product");
  ASSERT_GE(text.size(), end.size());
  EXPECT_EQ(text.substr(text.size() - end.size()), end) << text;

  // Behind the box the dialog stays as the failed start left it: the whole
  // bar, the starting text, no way to cancel.
  HWND dialog = nullptr;
  for (HWND window : run.VisibleWindows())
    if (window != box) dialog = window;
  ASSERT_NE(dialog, nullptr) << "the progress dialog was hidden after a failed start";
  EXPECT_EQ(testsupport::WindowText(dialog), L"100 % Extracting...");
  DWORD_PTR position = 0;
  ASSERT_TRUE(SendMessageTimeoutW(GetDlgItem(dialog, 1000), PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, kTimeLimit,
                                  &position));
  EXPECT_EQ(position, 1000u);
  EXPECT_EQ(testsupport::WindowText(GetDlgItem(dialog, 1001)), L"Starting installation...");
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDCANCEL)));
  ASSERT_TRUE(testsupport::PressButton(box, IDOK));
  ASSERT_TRUE(run.WaitForExit(kTimeLimit));
  EXPECT_EQ(run.ExitCode(), kSetupNotStarted);
  EXPECT_TRUE(m_temp.RunFolders().empty());

  // Silent: the same end without a word.
  testsupport::ProcessDriver silent(Quoted(installer.wstring()) + L" /q");
  EXPECT_EQ(silent.WaitForWindow(testsupport::TimeLimit(5000)), nullptr) << "a window appeared in a silent run";
  ASSERT_TRUE(silent.WaitForExit(kTimeLimit));
  EXPECT_EQ(silent.ExitCode(), kSetupNotStarted);
  EXPECT_TRUE(m_temp.RunFolders().empty());
}

TEST_F(SetupLaunchTest, DialogHidesWhileTheSetupRuns) {
  // Many files, so that the dialog stays long enough to be seen first.
  const fs::path installer = Pack(L"hide.exe", kSampleConfig, SETUPSFX_MANY_FILES_ARCHIVE);
  testsupport::ProcessDriver run(Quoted(installer.wstring()));
  ASSERT_NE(run.WaitForWindow(kTimeLimit), nullptr) << "no progress dialog appeared";
  bool hidden = false;
  const ULONGLONG deadline = GetTickCount64() + kTimeLimit;
  while (!hidden && GetTickCount64() < deadline && !run.WaitForExit(10))
    hidden = run.VisibleWindows().empty() && !ReadReport().empty();
  ASSERT_TRUE(hidden) << "the dialog stayed on screen while the setup ran";
  // Closing the dialog would end the run at once; hidden, it waits for the
  // setup and the pause before the clean-up.
  EXPECT_FALSE(run.WaitForExit(300));
  ASSERT_TRUE(run.WaitForExit(kTimeLimit));
  EXPECT_EQ(run.ExitCode(), 0u);
}

TEST_F(SetupLaunchTest, PackageIsInstalledByTheWindowsInstaller) {
  const std::wstring uninstall = L"msiexec.exe /x " + Quoted(SETUPSFX_PACKAGE) + L" /qn";
  testsupport::RunToEnd(uninstall, kPackageTimeLimit);
  const fs::path target = m_dir / L"target dir";
  const std::string config = "[main]\r\nProductName=Sample Product\r\nSetupFileName=tiny package.msi\r\n"
                             "SetupParams=INSTALLDIR=\"" + kestlib::Utf8FromWide(target.wstring()) + "\"\r\n";
  const fs::path installer = Pack(L"package.exe", config, SETUPSFX_PACKAGE_ARCHIVE);

  // msiexec would read the installer's culture as the file to log to.
  const fs::path log = m_dir / L"culture log";
  EXPECT_EQ(Run(Quoted(installer.wstring()) + L" /qb /l " + Quoted(log.wstring()), kPackageTimeLimit), 0u);
  EXPECT_FALSE(fs::exists(log));
  std::ifstream hello(target / L"hello.txt");
  std::string text;
  std::getline(hello, text);
  EXPECT_EQ(text, "installed by the tiny package");
  EXPECT_TRUE(m_temp.RunFolders().empty());
  EXPECT_EQ(testsupport::RunToEnd(uninstall, kPackageTimeLimit), 0);
}

class ForwardedDataTest : public SetupLaunchTest {
 protected:
  static std::string Config() { return std::string(kSampleConfig) + "ForwardResourceDataFromSFX=1\r\n"; }

  // A copy of the signed installer with its slots filled, tagged with values by sfxpack.
  fs::path Tagged(const std::wstring& values) {
    const fs::path installer = m_dir / L"tagged.exe";
    fs::copy_file(SETUPSFX_SIGNED_FORWARDING, installer);
    std::string log;
    EXPECT_EQ(testsupport::RunToEnd(Quoted(SETUPSFX_SFXPACK) + L" tag " + Quoted(installer.wstring()) + L" " + values +
                                        L" --in-place",
                                    kTimeLimit, &log),
              0)
        << log;
    return installer;
  }
};

TEST_F(ForwardedDataTest, SlotValuesReachTheSetupInItsDataFile) {
  const fs::path installer = Pack(L"slots.exe", Config(), SETUPSFX_SAMPLE_ARCHIVE,
                                  L"--slot HLVID=campaign-7 --slot HV_VOLTARIN_PHASH=0123abcd");
  EXPECT_EQ(Run(Quoted(installer.wstring()) + L" /q"), 0u);
  const Report report = ReadReport();
  const std::vector<std::string> arguments = report.All("argument");
  ASSERT_EQ(arguments.size(), 3u);
  EXPECT_EQ(arguments[0], "-m");
  EXPECT_EQ(fs::u8path(arguments[1]), fs::u8path(report.One("working folder")) / L"SetupValues.dat");
  EXPECT_EQ(arguments[2], "/q");
  EXPECT_EQ(report.All("value"), (std::vector<std::string>{"HLVID=campaign-7", "HV_VOLTARIN_PHASH=0123abcd"}));
}

TEST_F(ForwardedDataTest, ChosenCultureAndItsParametersReachTheSetup) {
  const fs::path installer =
      Pack(L"language.exe", Config() + "SetupParams=/main\r\n[LANG_fr-FR]\r\nSetupParams=/fr\r\n"
                                       "[LANG_de-DE]\r\nSetupParams=/lang=de\r\n");
  EXPECT_EQ(Run(Quoted(installer.wstring()) + L" /l de-DE /q"), 0u);
  const std::vector<std::string> arguments = ReadReport().All("argument");
  ASSERT_EQ(arguments.size(), 8u);
  EXPECT_EQ(std::vector<std::string>(arguments.begin() + 2, arguments.end()),
            (std::vector<std::string>{"/l", "de-DE", "/lang=de", "/l", "de-DE", "/q"}));
}

TEST_F(ForwardedDataTest, IdentifierInTheFileNameJoinsTheSlots) {
  const fs::path installer =
      Pack(L"product--ph0123456789abcdEF (2).exe", Config(), SETUPSFX_SAMPLE_ARCHIVE, L"--slot HLVID2=from-slot");
  EXPECT_EQ(Run(Quoted(installer.wstring()) + L" /q"), 0u);
  EXPECT_EQ(ReadReport().All("value"), (std::vector<std::string>{"HLVID2=0123456789abcdEF"}));
}

TEST_F(ForwardedDataTest, EmptySlotsGiveTheSwitchButNoFile) {
  const fs::path installer = Pack(L"empty.exe", Config());
  EXPECT_EQ(Run(Quoted(installer.wstring()) + L" /q"), 0u);
  const Report report = ReadReport();
  ASSERT_FALSE(report.All("argument").empty());
  EXPECT_EQ(report.All("argument")[0], "-m");
  EXPECT_EQ(report.One("values file"), "missing");
}

TEST_F(ForwardedDataTest, CallersOwnDataFileReplacesOurs) {
  const fs::path installer = Pack(L"own.exe", Config(), SETUPSFX_SAMPLE_ARCHIVE, L"--slot HLVID=campaign-7");
  EXPECT_EQ(Run(Quoted(installer.wstring()) + L" /q /m=C:\\values.dat"), 0u);
  const Report report = ReadReport();
  EXPECT_EQ(report.All("argument"), (std::vector<std::string>{"/q", "/m=C:\\values.dat"}));
  EXPECT_TRUE(report.All("value").empty());
}

TEST_F(ForwardedDataTest, SignatureTagValuesJoinTheSlotsAndReplaceThoseOfTheSameName) {
  const fs::path installer = Tagged(L"--value HLVID=from-tag --value \"order=A-17 & more\"");
  EXPECT_EQ(Run(Quoted(installer.wstring()) + L" /q"), 0u);
  EXPECT_EQ(ReadReport().All("value"),
            (std::vector<std::string>{"HLVID=from-tag", "HLVID2=kept", "order=A-17 & more"}));
}

TEST_F(ForwardedDataTest, DamagedSignatureTagForwardsOnlyTheSlots) {
  const fs::path installer = Tagged(L"--value HLVID=from-tag");
  {
    // The length byte before the block: the tag's OCTET STRING now runs past its attribute.
    std::fstream file(installer, std::ios::binary | std::ios::in | std::ios::out);
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const std::vector<std::uint8_t> marker = forwarded::MakeBlockStartMarker();
    const std::size_t at = bytes.rfind(std::string(marker.begin(), marker.end()));
    ASSERT_NE(at, std::string::npos);
    file.seekp(static_cast<std::streamoff>(at - 1));
    file.put(static_cast<char>(bytes[at - 1] + 1));
  }
  EXPECT_EQ(Run(Quoted(installer.wstring()) + L" /q"), 0u);
  EXPECT_EQ(ReadReport().All("value"), (std::vector<std::string>{"HLVID=from-slot", "HLVID2=kept"}));
}

// A version string of a file as Windows reads it.
std::wstring VersionString(const fs::path& file, const std::wstring& key) {
  DWORD ignored = 0;
  std::vector<std::uint8_t> block(GetFileVersionInfoSizeW(file.c_str(), &ignored));
  if (block.empty() || !GetFileVersionInfoW(file.c_str(), 0, static_cast<DWORD>(block.size()), block.data()))
    return L"(no version information)";
  wchar_t* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), (L"\\StringFileInfo\\040904B0\\" + key).c_str(), reinterpret_cast<void**>(&value),
                      &length))
    return L"(no " + key + L")";
  return std::wstring(value, length ? length - 1 : 0);
}

TEST_F(ForwardedDataTest, BrandedInstallerCarriesItsResourcesAndRunsToTheEnd) {
  const fs::path installer =
      Pack(L"branded.exe", Config(), SETUPSFX_SAMPLE_ARCHIVE,
           L"--slot HLVID=campaign-7 --icon " + Quoted(SETUPSFX_TEST_ICON) +
               L" --product-name \"Acme Tools\" --company \"Acme Corp\" --file-version 2.5.1.7");
  EXPECT_EQ(VersionString(installer, L"ProductName"), L"Acme Tools");
  EXPECT_EQ(VersionString(installer, L"CompanyName"), L"Acme Corp");
  EXPECT_EQ(VersionString(installer, L"FileVersion"), L"2.5.1.7");
  EXPECT_EQ(VersionString(installer, L"OriginalFilename"), L"branded.exe");
  {
    const kestlib::UniqueModule module(LoadLibraryExW(installer.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(module);
    EXPECT_TRUE(FindResourceW(module.get(), MAKEINTRESOURCEW(128), RT_GROUP_ICON));
  }
  // The completeness record and the slots are still where the stub looks.
  EXPECT_EQ(Run(Quoted(installer.wstring()) + L" /q"), 0u);
  EXPECT_EQ(ReadReport().All("value"), (std::vector<std::string>{"HLVID=campaign-7"}));
}

}  // namespace
