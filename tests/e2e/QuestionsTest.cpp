// The questions an installer asks while it extracts, answered from outside
// the way a user would, and the message at the end of an extract-only run.
#include <gtest/gtest.h>
#include <windows.h>
#include <richedit.h>

#include <algorithm>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
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
using testsupport::kTimeLimit;
using testsupport::Quoted;

// The sample setup exits with this code, so a run that ends with it ran it.
constexpr unsigned long kSetupCode = 7;
constexpr int kPasswordEdit = 1009;
constexpr int kOverwriteAll = 1;
const std::string kConfig = "[main]\r\nProductName=Sample Product\r\nSetupFileName=setup.exe\r\n";
const std::wstring kOverwriteQuestion = L"Overwrite all existing files?";
const std::wstring kExtracted = L"The installation files have been successfully extracted into the folder:";

bool Contains(const std::vector<std::wstring>& texts, const std::wstring& part) {
  for (const auto& text : texts)
    if (text.find(part) != std::wstring::npos) return true;
  return false;
}

// The first window of the run that satisfies found, or null when none
// appeared in time.
HWND FindWindowOf(testsupport::ProcessDriver& run, const std::function<bool(HWND)>& found) {
  const ULONGLONG deadline = GetTickCount64() + kTimeLimit;
  while (GetTickCount64() < deadline && !run.WaitForExit(20))
    for (HWND window : run.VisibleWindows())
      if (found(window)) return window;
  return nullptr;
}

HWND FindBoxSaying(testsupport::ProcessDriver& run, const std::wstring& part) {
  return FindWindowOf(run, [&](HWND w) { return Contains(testsupport::StaticTexts(w), part); });
}

HWND FindTitled(testsupport::ProcessDriver& run, const std::wstring& start) {
  return FindWindowOf(run, [&](HWND w) { return testsupport::WindowText(w).rfind(start, 0) == 0; });
}

std::string FileText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A 1 MiB tmpfs mounted on a folder of the test: too small for any archive
// with the margin of the space check. Mounting needs root; mounted() tells.
class SmallDrive {
 public:
  explicit SmallDrive(const fs::path& folder) : m_folder(folder) {
    fs::create_directory(folder);
    // The folder's name leads through the prefix's drive links; mount
    // wants none.
    Shell(L"mount.sh", "mount -t tmpfs -o size=1m tmpfs \"$folder\"\n");
    m_mounted = WaitUntilSmall(true);
  }
  ~SmallDrive() {
    if (!m_mounted) return;
    Shell(L"umount.sh", "umount \"$folder\"\n");
    WaitUntilSmall(false);
  }
  SmallDrive(const SmallDrive&) = delete;
  SmallDrive& operator=(const SmallDrive&) = delete;
  bool mounted() const { return m_mounted; }

 private:
  // Runs a script beside the folder, with the folder's real path in
  // $folder and the shell outside it (inside, it would keep it busy); a
  // script file spares the quoting of a Unix command line. Wine cannot
  // wait for a Unix program, so its effect is waited for instead.
  void Shell(const wchar_t* name, const std::string& script) const {
    const fs::path file = m_folder.parent_path() / name;
    std::ofstream(file, std::ios::binary) << "folder=$(cd \"$(dirname \"$0\")/" << m_folder.filename().string()
                                          << "\" && pwd -P) && cd / && " << script;
    using UnixName = char*(CDECL*)(const wchar_t*);
    // Through void (*)(), the type a cast between function types may pass.
    const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    char* unixPath = unixName ? unixName(file.c_str()) : nullptr;
    if (!unixPath) return;
    const std::string path = unixPath;
    HeapFree(GetProcessHeap(), 0, unixPath);
    testsupport::RunToEnd(L"Z:\\bin\\sh " + Quoted(std::wstring(path.begin(), path.end())), kTimeLimit);
  }

  bool IsSmall() const {
    ULARGE_INTEGER total{};
    return GetDiskFreeSpaceExW(m_folder.c_str(), nullptr, &total, nullptr) && total.QuadPart <= 1048576;
  }

  bool WaitUntilSmall(bool small) const {
    const ULONGLONG deadline = GetTickCount64() + testsupport::TimeLimit(kMountLimit);
    while (IsSmall() != small && GetTickCount64() < deadline) Sleep(20);
    return IsSmall() == small;
  }

  static constexpr DWORD kMountLimit = 10000;
  fs::path m_folder;
  bool m_mounted = false;
};

BOOL CALLBACK SetEditText(HWND child, LPARAM text) {
  wchar_t name[32] = {};
  GetClassNameW(child, name, 32);
  if (std::wstring(name) == L"Edit") SendMessageW(child, WM_SETTEXT, 0, text);
  return TRUE;
}

class QuestionsTest : public ::testing::Test {
 protected:
  void SetUp() override { SetEnvironmentVariableW(L"SAMPLE_SETUP_EXIT_CODE", L"7"); }
  void TearDown() override { SetEnvironmentVariableW(L"SAMPLE_SETUP_EXIT_CODE", nullptr); }

  std::wstring Pack(const std::wstring& name, const fs::path& archive) {
    const fs::path installer = m_dir / name;
    testsupport::PackInstaller(SETUPSFX_STUB, kConfig, installer, archive);
    return Quoted(installer.wstring());
  }

  // Presses OK on the message at the end of an extract-only run.
  static void ConfirmCompletion(testsupport::ProcessDriver& run) {
    HWND box = FindBoxSaying(run, kExtracted);
    ASSERT_NE(box, nullptr) << "no completion message appeared";
    ASSERT_TRUE(testsupport::PressButton(box, 1));
  }

  testsupport::TempDir m_dir;
  testsupport::PrivateTempFolder m_temp{m_dir / L"temp"};
  const fs::path m_target = m_dir / L"target";
};

TEST_F(QuestionsTest, TemporaryRunKeepsTheFirstOfTwoNamesThatDifferInCase) {
  testsupport::ProcessDriver run(Pack(L"colliding.exe", SETUPSFX_COLLIDING_ARCHIVE) + L" /q");
  EXPECT_EQ(run.WaitForWindow(kTimeLimit), nullptr) << "a question appeared in a temporary-folder run";
  ASSERT_TRUE(run.WaitForExit(kTimeLimit));
  EXPECT_EQ(run.ExitCode(), kSetupCode) << "the program was replaced by the text";
  EXPECT_TRUE(m_temp.RunFolders().empty());
}

TEST_F(QuestionsTest, ExtractOnlyRunAsksBeforeOverwriting) {
  struct Case {
    int button;
    unsigned long exitCode;
    std::string setupText;
  };
  for (const Case& c : {Case{kOverwriteAll, 0, "not a program"}, Case{IDCANCEL, kCancelled, ""}}) {
    SCOPED_TRACE(c.button);
    fs::remove_all(m_target);
    testsupport::ProcessDriver run(Pack(L"overwrite.exe", SETUPSFX_COLLIDING_ARCHIVE) + L" /x " +
                                   Quoted(m_target.wstring()));
    HWND question = FindBoxSaying(run, kOverwriteQuestion);
    ASSERT_NE(question, nullptr) << "no overwrite question appeared";
    ASSERT_TRUE(testsupport::PressButton(question, c.button));
    if (c.exitCode == 0) {
      ASSERT_NO_FATAL_FAILURE(ConfirmCompletion(run));
    }
    ASSERT_TRUE(run.WaitForExit(kTimeLimit));
    EXPECT_EQ(run.ExitCode(), c.exitCode);
    if (!c.setupText.empty()) {
      EXPECT_EQ(FileText(m_target / L"setup.exe").rfind(c.setupText, 0), 0u);
    }
  }
}

TEST_F(QuestionsTest, EncryptedArchiveAsksForThePasswordAtEveryLevel) {
  struct Case {
    const wchar_t* options;
    const wchar_t* password;
    unsigned long exitCode;
  };
  // Silent and hidden runs ask too; a wrong password reads as damage.
  for (const Case& c : {Case{L" /q", L"sesame", kSetupCode}, Case{L" /qm", nullptr, kCancelled},
                        Case{L"", L"wrong", kPreparationFailed}}) {
    SCOPED_TRACE(c.options);
    testsupport::ProcessDriver run(Pack(L"encrypted.exe", SETUPSFX_ENCRYPTED_ARCHIVE) + c.options);
    HWND dialog = FindTitled(run, L"Setup Self-Extractor");
    ASSERT_NE(dialog, nullptr) << "no password dialog appeared";
    if (c.password) {
      ASSERT_TRUE(SendMessageW(GetDlgItem(dialog, kPasswordEdit), WM_SETTEXT, 0,
                               reinterpret_cast<LPARAM>(c.password)));
      ASSERT_TRUE(testsupport::PressButton(dialog, IDOK));
    } else {
      ASSERT_TRUE(testsupport::PressButton(dialog, IDCANCEL));
    }
    if (c.exitCode == kPreparationFailed) {
      HWND report = FindBoxSaying(run, kCorruptText);
      ASSERT_NE(report, nullptr) << "no damage report appeared";
      ASSERT_TRUE(testsupport::PressButton(report, IDOK));
    }
    ASSERT_TRUE(run.WaitForExit(kTimeLimit));
    EXPECT_EQ(run.ExitCode(), c.exitCode);
    EXPECT_TRUE(m_temp.RunFolders().empty());
  }
}

TEST_F(QuestionsTest, ExtractionThatEndsBehindTheCancelQuestionWaitsForItsAnswer) {
  struct Case {
    int answer;
    unsigned long exitCode;
  };
  for (const Case& c : {Case{IDYES, kCancelled}, Case{IDNO, kSetupCode}}) {
    SCOPED_TRACE(c.answer);
    testsupport::ProcessDriver run(Pack(L"race.exe", SETUPSFX_MANY_FILES_ARCHIVE));
    HWND dialog = FindWindowOf(run, [](HWND w) {
      const std::wstring title = testsupport::WindowText(w);
      return title.find(L"Extracting...") != std::wstring::npos;
    });
    ASSERT_NE(dialog, nullptr) << "no progress dialog appeared";
    ASSERT_TRUE(testsupport::PressButton(dialog, IDCANCEL));
    HWND question = FindBoxSaying(run, L"Do you really want to cancel");
    ASSERT_NE(question, nullptr) << "Cancel asked no question";
    // The extraction goes on behind the question and ends there.
    HWND done = FindWindowOf(run, [&](HWND w) {
      return w == dialog && testsupport::WindowText(w).rfind(L"100 ", 0) == 0;
    });
    ASSERT_NE(done, nullptr) << "the extraction did not end behind the question";
    ASSERT_TRUE(testsupport::PressButton(question, c.answer));
    ASSERT_TRUE(run.WaitForExit(kTimeLimit));
    EXPECT_EQ(run.ExitCode(), c.exitCode);
    EXPECT_TRUE(m_temp.RunFolders().empty());
  }
}

TEST_F(QuestionsTest, ExtractOnlyRunEndsWithWhereTheFilesAre) {
  testsupport::ProcessDriver run(Pack(L"extract.exe", SETUPSFX_ENCRYPTED_ARCHIVE) + L" /x " +
                                 Quoted(m_target.wstring()));
  HWND dialog = FindTitled(run, L"Setup Self-Extractor");
  ASSERT_NE(dialog, nullptr) << "no password dialog appeared";
  SendMessageW(GetDlgItem(dialog, kPasswordEdit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"sesame"));
  ASSERT_TRUE(testsupport::PressButton(dialog, IDOK));
  ASSERT_NO_FATAL_FAILURE(ConfirmCompletion(run));
  ASSERT_TRUE(run.WaitForExit(kTimeLimit));
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_EQ(FileText(m_target / L"readme.txt").rfind("read me", 0), 0u);
}

TEST_F(QuestionsTest, FullTemporaryDriveOffersAnotherLocationAndRunsThere) {
  SmallDrive small(m_dir / L"small");
  if (!small.mounted()) GTEST_SKIP() << "mounting a small tmpfs needs root";
  testsupport::PrivateTempFolder smallTemp(m_dir / L"small");
  const fs::path elsewhere = m_dir / L"elsewhere";
  fs::create_directory(elsewhere);
  testsupport::ProcessDriver run(Pack(L"full.exe", SETUPSFX_SAMPLE_ARCHIVE));
  HWND question = FindBoxSaying(run, L"Choose a location with enough space");
  ASSERT_NE(question, nullptr) << "no question for another location appeared";
  ASSERT_TRUE(testsupport::PressButton(question, IDOK));
  HWND picker = FindWindowOf(run, [](HWND w) {
    return testsupport::WindowText(w).find(L"Choose destination location") != std::wstring::npos;
  });
  ASSERT_NE(picker, nullptr) << "no folder picker appeared";
  // The file name box takes the folder; OK enters it, and OK in a folder
  // picker then picks the folder it shows.
  const std::wstring path = elsewhere.wstring();
  EnumChildWindows(picker, SetEditText, reinterpret_cast<LPARAM>(path.c_str()));
  for (int press = 0; press < 2 && IsWindow(picker); ++press) {
    testsupport::PressButton(picker, IDOK);
    run.WaitForExit(2000);
  }
  ASSERT_TRUE(run.WaitForExit(kTimeLimit));
  EXPECT_EQ(run.ExitCode(), kSetupCode) << "the setup did not run from the new location";
  EXPECT_TRUE(fs::is_empty(elsewhere)) << "the new run folder was left behind";
  EXPECT_TRUE(smallTemp.RunFolders().empty()) << "the first run folder was left behind";
}

BOOL CALLBACK FindRichText(HWND child, LPARAM found) {
  wchar_t name[32] = {};
  GetClassNameW(child, name, 32);
  if (lstrcmpiW(name, L"RICHEDIT50W") != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = child;
  return FALSE;
}

// Clicks the last occurrence of part in the rich text of a box of another
// process, as a user clicks a link.
void ClickText(HWND box, const std::wstring& part, DWORD processId) {
  HWND control = nullptr;
  EnumChildWindows(box, FindRichText, reinterpret_cast<LPARAM>(&control));
  ASSERT_NE(control, nullptr) << "the box has no rich text";
  std::wstring text(static_cast<std::size_t>(SendMessageW(control, WM_GETTEXTLENGTH, 0, 0)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      SendMessageW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
  std::size_t at = text.rfind(part);
  ASSERT_NE(at, std::wstring::npos) << "the box does not show the text";
  // The control counts a paragraph break as one character.
  for (std::size_t i = text.find(L"\r\n"); i != std::wstring::npos && i < at; i = text.find(L"\r\n", i + 2)) --at;
  // EM_POSFROMCHAR writes its point into the box's process.
  kestlib::UniqueHandle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ, FALSE, processId));
  ASSERT_TRUE(process);
  void* remote = VirtualAllocEx(process.get(), nullptr, sizeof(POINTL), MEM_COMMIT, PAGE_READWRITE);
  ASSERT_NE(remote, nullptr);
  SendMessageW(control, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(remote), static_cast<LPARAM>(at));
  POINTL point{};
  const bool read = ReadProcessMemory(process.get(), remote, &point, sizeof(point), nullptr);
  VirtualFreeEx(process.get(), remote, 0, MEM_RELEASE);
  ASSERT_TRUE(read);
  const LPARAM where = MAKELPARAM(point.x + 2, point.y + 2);
  PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, where);
  PostMessageW(control, WM_LBUTTONUP, 0, where);
}

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM windows) {
  if (IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(windows)->push_back(window);
  return TRUE;
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> windows;
  EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

TEST_F(QuestionsTest, CompletionLinkOpensTheFolderInTheShell) {
  const fs::path folder = m_dir / L"opened by link";
  testsupport::ProcessDriver run(Pack(L"link.exe", SETUPSFX_SAMPLE_ARCHIVE) + L" /x " + Quoted(folder.wstring()));
  HWND box = FindBoxSaying(run, kExtracted);
  ASSERT_NE(box, nullptr) << "no completion message appeared";
  DWORD processId = 0;
  GetWindowThreadProcessId(box, &processId);
  const std::vector<HWND> before = TopLevelWindows();
  ASSERT_NO_FATAL_FAILURE(ClickText(box, L"opened by link", processId));
  // The shell shows the folder in a window of its own process.
  HWND shown = nullptr;
  const ULONGLONG deadline = GetTickCount64() + kTimeLimit;
  while (!shown && GetTickCount64() < deadline && !run.WaitForExit(50))
    for (HWND window : TopLevelWindows())
      if (std::find(before.begin(), before.end(), window) == before.end() &&
          testsupport::WindowText(window) == L"opened by link")
        shown = window;
  ASSERT_NE(shown, nullptr) << "the link opened no folder window";
  PostMessageW(shown, WM_CLOSE, 0, 0);
  ASSERT_TRUE(testsupport::PressButton(box, 1));
  ASSERT_TRUE(run.WaitForExit(kTimeLimit));
  EXPECT_EQ(run.ExitCode(), 0u);
}

}  // namespace
