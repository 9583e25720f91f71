// The temporary folder: a new one with an unforeseeable name, never one
// that someone prepared, and gone at the end even when something held it.
#include "setup/startup/TempFolder.h"

#include <gtest/gtest.h>

#include <boost/log/attributes/value_extraction.hpp>
#include <boost/log/core/core.hpp>
#include <boost/log/sinks/basic_sink_backend.hpp>
#include <boost/log/sinks/sync_frontend.hpp>
#include <boost/make_shared.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "TempDir.h"
#include "kestlib/Holders.h"
#include "kestlib/io/Utf8.h"

namespace {

namespace fs = std::filesystem;

// Hands out the given draws in turn, then fails.
RandomSource Scripted(std::vector<FolderNameDraw> draws) {
  return [draws, next = std::size_t(0)](FolderNameDraw& draw) mutable {
    if (next == draws.size()) return false;
    draw = draws[next++];
    return true;
  };
}

const FolderNameDraw kFirst = {0, 1, 25, 26, 35, 36, 71, 0xFFFFFFFF};
const FolderNameDraw kSecond = {1, 1, 1, 1, 1, 1, 1, 1};

TEST(TempFolder, NamesHlvAndEightCharactersOfTheDraw) {
  testsupport::TempDir parent;
  std::wstring folder;
  ASSERT_EQ(CreateTempFolder(parent.path().wstring(), Scripted({kFirst}), folder), S_OK);
  EXPECT_EQ(folder, (parent / L"hlvabz09a9d").wstring());
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_TRUE(IsTempFolderName(L"hlvabz09a9d"));
  for (const wchar_t* other : {L"hlvabz09a9", L"hlvabz09a9dd", L"hlvABZ09a9d", L"hlxabz09a9d", L"hlvabz09a9-"})
    EXPECT_FALSE(IsTempFolderName(other)) << other;
}

TEST(TempFolder, PreparedFolderOfTheDrawnNameIsNeverEntered) {
  testsupport::TempDir parent;
  const fs::path planted = parent / L"hlvabz09a9d";
  fs::create_directory(planted);
  std::ofstream(planted / L"version.dll") << "planted";
  std::wstring folder;
  ASSERT_EQ(CreateTempFolder(parent.path().wstring(), Scripted({kFirst, kSecond}), folder), S_OK);
  EXPECT_EQ(folder, (parent / L"hlvbbbbbbbb").wstring());
  EXPECT_TRUE(fs::is_empty(folder));
}

TEST(TempFolder, GivesUpWhenEveryNameIsTakenOrTheSourceFails) {
  testsupport::TempDir parent;
  fs::create_directory(parent / L"hlvbbbbbbbb");
  std::wstring folder;
  EXPECT_EQ(CreateTempFolder(parent.path().wstring(), Scripted(std::vector<FolderNameDraw>(1000, kSecond)), folder),
            HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS));
  EXPECT_TRUE(FAILED(CreateTempFolder(parent.path().wstring(), Scripted({}), folder)));
  EXPECT_TRUE(folder.empty());
  EXPECT_EQ(std::distance(fs::directory_iterator(parent.path()), fs::directory_iterator()), 1);
}

TEST(TempFolder, TwoRunsGetTwoFolders) {
  testsupport::TempDir parent;
  std::wstring first, second;
  ASSERT_EQ(CreateTempFolder(parent.path().wstring(), SystemRandom, first), S_OK);
  ASSERT_EQ(CreateTempFolder(parent.path().wstring(), SystemRandom, second), S_OK);
  EXPECT_NE(first, second);
}

// A virus scanner holding a file for a moment does not keep the folder.
TEST(TempFolder, FolderHeldForAMomentIsRemoved) {
  testsupport::TempDir dir;
  const fs::path folder = dir / L"hlvheld0001";
  fs::create_directories(folder / L"sub");
  std::ofstream(folder / L"sub" / L"held.dll") << "in use";
  kestlib::UniqueFile held(CreateFileW((folder / L"sub" / L"held.dll").c_str(), GENERIC_READ, 0, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(held);

  int pauses = 0;
  const RemovalPause letGo = [&](DWORD) {
    if (++pauses == 2) held.reset();
  };
  EXPECT_EQ(RemoveRunFolder(folder.wstring() + L"\\", letGo), S_OK);
  EXPECT_FALSE(fs::exists(folder));
  EXPECT_EQ(pauses, 2);
}

// The records written while it lives, by a sink of its own that goes with
// it, so that no log file stays open.
class LogCapture {
 public:
  LogCapture() : m_sink(boost::make_shared<Sink>(boost::make_shared<Backend>())) {
    boost::log::core::get()->add_sink(m_sink);
  }
  ~LogCapture() { boost::log::core::get()->remove_sink(m_sink); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::wstring Text() const { return m_sink->locked_backend()->text; }

 private:
  struct Backend : boost::log::sinks::basic_sink_backend<boost::log::sinks::synchronized_feeding> {
    void consume(const boost::log::record_view& record) {
      if (const auto message = boost::log::extract<std::wstring>("Message", record)) text += *message + L"\n";
    }
    std::wstring text;
  };
  using Sink = boost::log::sinks::synchronous_sink<Backend>;
  boost::shared_ptr<Sink> m_sink;
};

// The system's list of what goes at the next restart, put back as it was
// when the test ends.
class PendingRenamesKept {
 public:
  PendingRenamesKept() { m_had = Read(m_old); }
  ~PendingRenamesKept() {
    if (m_had)
      RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, kValue, REG_MULTI_SZ, m_old.data(),
                      static_cast<DWORD>(m_old.size() * sizeof(wchar_t)));
    else
      RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kKey, kValue);
  }
  PendingRenamesKept(const PendingRenamesKept&) = delete;
  PendingRenamesKept& operator=(const PendingRenamesKept&) = delete;

  // Every entry, its strings joined by line feeds.
  static std::wstring Entries() {
    std::wstring data;
    Read(data);
    std::replace(data.begin(), data.end(), L'\0', L'\n');
    return data;
  }

 private:
  static constexpr wchar_t kKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
  static constexpr wchar_t kValue[] = L"PendingFileRenameOperations";

  static bool Read(std::wstring& data) {
    DWORD bytes = 0;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kKey, kValue, RRF_RT_REG_MULTI_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS)
      return false;
    data.assign(bytes / sizeof(wchar_t), L'\0');
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kKey, kValue, RRF_RT_REG_MULTI_SZ, nullptr, data.data(), &bytes) !=
        ERROR_SUCCESS)
      return false;
    data.resize(bytes / sizeof(wchar_t));
    return true;
  }

  std::wstring m_old;
  bool m_had = false;
};

// What stays held beyond the retries, deeper than MAX_PATH, is marked for
// the next restart, and the log says so.
TEST(TempFolder, HeldItemDeeperThanMaxPathIsMarkedForTheNextRestart) {
  testsupport::TempDir dir;
  std::wstring held;
  const PendingRenamesKept kept;
  const LogCapture log;
  const std::wstring folder = (dir / L"hlvheld0002").wstring();
  // The extended-length form lets the test build past MAX_PATH.
  for (std::wstring deep = folder;; deep += L"\\" + std::wstring(40, L'd')) {
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr)) << GetLastError();
    if (deep.size() < 300) continue;
    held = deep + L"\\held.dll";
    break;
  }
  kestlib::UniqueFile file(CreateFileW((L"\\\\?\\" + held).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file) << GetLastError();

  EXPECT_EQ(RemoveRunFolder(folder, [](DWORD) {}), HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION));
  EXPECT_NE(log.Text().find(L"The temporary folder '" + folder + L"' will be removed at the next restart."),
            std::wstring::npos)
      << kestlib::Utf8FromWide(log.Text());
  const std::wstring entries = PendingRenamesKept::Entries();
  EXPECT_NE(entries.find(held), std::wstring::npos) << kestlib::Utf8FromWide(entries);
  EXPECT_NE(entries.find(folder + L"\n"), std::wstring::npos) << kestlib::Utf8FromWide(entries);

  file.reset();
  EXPECT_EQ(RemoveRunFolder(folder, [](DWORD) {}), S_OK);
}

// A folder the installer did not make is never left to the system's
// removal, which runs with the system's rights.
TEST(TempFolder, FolderOfAnotherNameIsNeverMarkedForTheNextRestart) {
  testsupport::TempDir dir;
  const PendingRenamesKept kept;
  const fs::path folder = dir / L"documents";
  fs::create_directories(folder);
  std::ofstream(folder / L"held.txt") << "in use";
  const kestlib::UniqueFile held(CreateFileW((folder / L"held.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(held);

  EXPECT_EQ(RemoveRunFolder(folder.wstring(), [](DWORD) {}), HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(PendingRenamesKept::Entries().find(folder.wstring()), std::wstring::npos);
}

}  // namespace
