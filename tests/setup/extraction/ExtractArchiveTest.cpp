// Extraction of the archive behind the installer's image: what lands in
// the destination, and how each kind of failure is reported.
#include "setup/extraction/ExtractArchive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "ExtractTestSupport.h"
#include "TempDir.h"

namespace {

namespace fs = std::filesystem;
using namespace extracttest;

constexpr HRESULT kDiskFull = HRESULT_FROM_WIN32(ERROR_DISK_FULL);
constexpr HRESULT kInvalidData = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
constexpr HRESULT kCrcError = HRESULT_FROM_WIN32(ERROR_CRC);
constexpr std::size_t kSearchLimit = 4 << 20;

const fs::path kData = fs::absolute("extract-data");

const std::vector<std::wstring> kTree = {
    L"docs\\", L"docs\\nested\\", L"docs\\nested\\deep.txt", L"docs\\notes.txt",
    L"empty\\", L"readme.txt"};

std::uint64_t TreeBytes() {
  std::uint64_t total = 0;
  for (const auto& entry : fs::recursive_directory_iterator(kData / "tree"))
    if (entry.is_regular_file()) total += entry.file_size();
  return total;
}

// The stub's image, filler up to the given offset, then the archive.
Bytes Installer(const std::string& archive, std::size_t archiveOffset = 0) {
  Bytes file = ReadBytes(kData / "stub.exe");
  if (archiveOffset) file.resize(archiveOffset, 0);
  const Bytes packed = ReadBytes(kData / (archive + ".7z"));
  file.insert(file.end(), packed.begin(), packed.end());
  return file;
}

class ExtractArchiveTest : public ::testing::Test {
 protected:
  ExtractArchiveTest() {
    worker.window = dialog.window();
    worker.archive = (dir / L"setup.exe").wstring();
    worker.destination = (dir / L"out").wstring() + L'\\';
  }
  ExtractOutcome Extract(const Bytes& installer, FreeSpaceQuery freeSpace = QueryFreeSpace) {
    WriteBytes(worker.archive, installer);
    return RunExtraction(worker, freeSpace);
  }
  void ExpectSameTree() {
    ASSERT_EQ(ListTree(dir / L"out"), kTree);
    for (const std::wstring& name : kTree) {
      if (name.back() != L'\\') {
        EXPECT_EQ(ReadBytes(dir / L"out" / name), ReadBytes(kData / "tree" / name)) << name;
      }
    }
  }
  testsupport::TempDir dir;
  TestDialog dialog;
  TestWorker worker;
};

TEST_F(ExtractArchiveTest, ExtractsTheArchiveBehindTheStubImage) {
  const ExtractOutcome outcome = Extract(Installer("lzma2"));
  ASSERT_EQ(outcome.result, S_OK);
  ExpectSameTree();
  std::vector<std::wstring> items = worker.items;
  std::sort(items.begin(), items.end());
  EXPECT_EQ(items, kTree);
  EXPECT_EQ(worker.totalSize, TreeBytes());
  ASSERT_FALSE(dialog.progress.empty());
  // Each position once, rising.
  EXPECT_EQ(std::adjacent_find(dialog.progress.begin(), dialog.progress.end(), std::greater_equal<>()),
            dialog.progress.end());
  EXPECT_LE(dialog.progress.back(), 1000u);
}

// A filter moves the item reports to the engine's own thread.
TEST_F(ExtractArchiveTest, ExtractsAFilteredArchiveAndAsksFromTheEngineThread) {
  ASSERT_EQ(Extract(Installer("bcj")).result, S_OK);
  dialog.overwriteAnswer = OverwriteYesToAll;
  ASSERT_EQ(RunExtraction(worker).result, S_OK);
  EXPECT_EQ(dialog.overwriteQuestions.size(), 1u);
  ExpectSameTree();
}

TEST_F(ExtractArchiveTest, FindsAnArchiveStartingAtFourMebibytes) {
  ASSERT_EQ(Extract(Installer("lzma2", kSearchLimit)).result, S_OK);
  ExpectSameTree();
}

// Nor does a "setup.7z" beside "setup.exe" stand in for the missing one.
TEST_F(ExtractArchiveTest, ReportsAnArchiveBeyondFourMebibytesAsMissingAndIgnoresNeighbours) {
  WriteBytes(dir / L"setup.7z", ReadBytes(kData / "lzma2.7z"));
  WriteBytes(dir / L"setup.7z.001", ReadBytes(kData / "lzma2.7z"));
  EXPECT_EQ(Extract(Installer("lzma2", kSearchLimit + 1)).result, kInvalidData);
  EXPECT_TRUE(ListTree(dir / L"out").empty());
}

TEST_F(ExtractArchiveTest, ReportsAFileWithoutArchiveAsInvalidData) {
  WriteBytes(dir / L"setup.7z", ReadBytes(kData / "lzma2.7z"));
  EXPECT_EQ(Extract(ReadBytes(kData / "stub.exe")).result, kInvalidData);
  EXPECT_TRUE(ListTree(dir / L"out").empty());
}

TEST_F(ExtractArchiveTest, AsksForThePasswordOnceAndExtractsWithIt) {
  dialog.password = L"extract-test";
  ASSERT_EQ(Extract(Installer("aes")).result, S_OK);
  EXPECT_EQ(dialog.passwordQuestions, 1u);
  ExpectSameTree();
}

TEST_F(ExtractArchiveTest, ReportsAWrongPasswordAsDamagedDataAfterOneQuestion) {
  dialog.password = L"not-the-password";
  const HRESULT result = Extract(Installer("aes")).result;
  EXPECT_TRUE(result == kInvalidData || result == kCrcError) << std::hex << result;
  EXPECT_EQ(dialog.passwordQuestions, 1u);
}

TEST_F(ExtractArchiveTest, CancelsWhenThePasswordQuestionIsCancelled) {
  dialog.confirmPassword = false;
  EXPECT_EQ(Extract(Installer("aes")).result, E_ABORT);
}

TEST_F(ExtractArchiveTest, FailsToOpenAnArchiveWithEncipheredHeadersWithoutAsking) {
  const HRESULT result = Extract(Installer("aes-headers")).result;
  EXPECT_TRUE(FAILED(result)) << std::hex << result;
  EXPECT_NE(result, E_ABORT);  // not taken for the user's cancel
  EXPECT_EQ(dialog.passwordQuestions, 0u);
  EXPECT_TRUE(ListTree(dir / L"out").empty());
}

TEST_F(ExtractArchiveTest, ReportsADamagedItemAsCrcError) {
  Bytes installer = Installer("copy");
  const std::size_t archiveStart = ReadBytes(kData / "stub.exe").size();
  installer[archiveStart + 32 + 10] ^= 0xFF;  // inside the first stored file
  EXPECT_EQ(Extract(installer).result, kCrcError);
}

TEST_F(ExtractArchiveTest, PassesWithExactlyTheTotalAndOneMebibyteFree) {
  const std::uint64_t needed = TreeBytes() + (1 << 20);
  auto exactly = [needed](const std::wstring&, std::uint64_t& available) {
    available = needed;
    return S_OK;
  };
  ASSERT_EQ(Extract(Installer("lzma2"), exactly).result, S_OK);
  ExpectSameTree();
}

TEST_F(ExtractArchiveTest, StopsBeforeWritingWithOneByteLessFree) {
  const std::uint64_t needed = TreeBytes() + (1 << 20);
  auto oneLess = [needed](const std::wstring&, std::uint64_t& available) {
    available = needed - 1;
    return S_OK;
  };
  EXPECT_EQ(Extract(Installer("lzma2"), oneLess).result, kDiskFull);
  EXPECT_EQ(worker.totalSize, TreeBytes());
  EXPECT_TRUE(ListTree(dir / L"out").empty());
}

TEST_F(ExtractArchiveTest, StopsWhenTheFreeSpaceCannotBeRead) {
  auto failing = [](const std::wstring&, std::uint64_t&) { return E_ACCESSDENIED; };
  EXPECT_EQ(Extract(Installer("lzma2"), failing).result, E_ACCESSDENIED);
}

// A failed query with no system error behind it is no reason to stop.
TEST_F(ExtractArchiveTest, ExtractsWhenTheFreeSpaceQueryFailsWithoutAReason) {
  auto silent = [](const std::wstring&, std::uint64_t&) { return S_FALSE; };
  ASSERT_EQ(Extract(Installer("lzma2"), silent).result, S_OK);
  ExpectSameTree();
}

TEST_F(ExtractArchiveTest, StopsWhenTheUserCancelled) {
  worker.stop = true;
  EXPECT_EQ(Extract(Installer("lzma2")).result, E_ABORT);
  EXPECT_TRUE(ListTree(dir / L"out").empty());
}

TEST_F(ExtractArchiveTest, ReportsADestinationThatIsAFileAndNamesIt) {
  WriteBytes(dir / L"out", {'x'});
  EXPECT_TRUE(FAILED(Extract(Installer("lzma2")).result));
  EXPECT_EQ(worker.currentItem, worker.destination);
}

// Positions are sent at most once per interval: how many depends on the
// speed, but the bar starts below its end and reaches it.
TEST_F(ExtractArchiveTest, ProgressMovesWithFilesThatHoldNoData) {
  ASSERT_EQ(Extract(Installer("empty-files")).result, S_OK);
  ASSERT_GE(dialog.progress.size(), 2u);
  EXPECT_LT(dialog.progress.front(), 1000u);
  EXPECT_EQ(std::adjacent_find(dialog.progress.begin(), dialog.progress.end(), std::greater_equal<>()),
            dialog.progress.end());
  EXPECT_EQ(dialog.progress.back(), 1000u);
}

TEST_F(ExtractArchiveTest, ExtractsAnItemWhosePathIsLongerThanMaxPath) {
  ASSERT_EQ(Extract(Installer("long-path")).result, S_OK);
  // As the test data lays it out: eight folders of forty characters.
  std::wstring deep = L"\\\\?\\" + (dir / L"out").wstring();
  for (int level = 0; level < 8; ++level) deep += L"\\a-folder-name-of-forty-characters-long-";
  deep += L"\\deep.txt";
  EXPECT_GT(deep.size(), std::size_t{MAX_PATH});
  WIN32_FILE_ATTRIBUTE_DATA found{};
  ASSERT_TRUE(GetFileAttributesExW(deep.c_str(), GetFileExInfoStandard, &found)) << deep;
  EXPECT_EQ(found.nFileSizeLow, fs::file_size(kData / "names" / "bad" / "readme.txt"));
}

// The engine would write it under another name, where the setup would miss
// it; nothing outside the destination is touched.
TEST_F(ExtractArchiveTest, FailsOnAnItemWhoseNameWindowsCannotCreateAndNamesIt) {
  EXPECT_EQ(Extract(Installer("bad-name")).result, HRESULT_FROM_WIN32(ERROR_INVALID_NAME));
  EXPECT_EQ(worker.currentItem, L"q?.txt");
  for (const auto& entry : fs::directory_iterator(dir.path()))
    EXPECT_TRUE(entry.path().filename() == L"setup.exe" || entry.path().filename() == L"out") << entry.path();
}

// The engine would put the archive's name in place of the star.
TEST_F(ExtractArchiveTest, RefusesADestinationWithAStar) {
  worker.destination = (dir / L"out*").wstring();
  EXPECT_EQ(Extract(Installer("lzma2")).result, HRESULT_FROM_WIN32(ERROR_INVALID_NAME));
  EXPECT_EQ(ListTree(dir.path()), std::vector<std::wstring>{L"setup.exe"});
}

TEST_F(ExtractArchiveTest, CreatesMissingParentsOfTheDestination) {
  worker.destination = (dir / L"a\\b\\out").wstring();
  ASSERT_EQ(Extract(Installer("lzma2")).result, S_OK);
  EXPECT_EQ(ListTree(dir / L"a\\b\\out"), kTree);
}

// Files and folders carry the time of the extraction, not the stored one.
TEST_F(ExtractArchiveTest, StampsFilesAndFoldersWithTheExtractionTime) {
  const fs::file_time_type before = fs::file_time_type::clock::now();
  ASSERT_EQ(Extract(Installer("bcj")).result, S_OK);
  const fs::file_time_type after = fs::file_time_type::clock::now();
  for (std::wstring name : kTree) {
    if (name.back() == L'\\') name.pop_back();
    const fs::file_time_type written = fs::last_write_time(dir / L"out" / name);
    EXPECT_GE(written, before - std::chrono::seconds(2)) << name;
    EXPECT_LE(written, after + std::chrono::seconds(2)) << name;
  }
}

}  // namespace
