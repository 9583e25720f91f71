// The engine's questions and item reports as the installer answers them:
// overwrite answers, hostile item names, progress and free-space arithmetic.
#include "setup/extraction/ExtractRules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "ExtractTestSupport.h"
#include "TempDir.h"

namespace {

namespace fs = std::filesystem;
using namespace extracttest;

constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

TEST(FreeSpace, NeedsTheTotalAndOneMebibyte) {
  EXPECT_TRUE(HasRoomFor(100, 100 + (1 << 20)));
  EXPECT_FALSE(HasRoomFor(100, 100 + (1 << 20) - 1));
  EXPECT_FALSE(HasRoomFor(100, 50));
}

// total + margin would wrap around to a small number.
TEST(FreeSpace, RefusesATotalNearTheTopOfTheRange) {
  EXPECT_FALSE(HasRoomFor(kMax, kMax));
  EXPECT_FALSE(HasRoomFor(kMax - 10, kMax));
}

TEST(Progress, IsPerMilleTruncated) {
  EXPECT_EQ(PerMille(0, 1000), 0u);
  EXPECT_EQ(PerMille(575, 1000), 575u);
  EXPECT_EQ(PerMille(1, 3), 333u);
  EXPECT_EQ(PerMille(999, 1000), 999u);
}

TEST(Progress, StaysWithinTheRangeForHugeAndExcessCounts) {
  EXPECT_EQ(PerMille(kMax / 2, kMax), 499u);
  EXPECT_EQ(PerMille(kMax - 1, kMax), 999u);
  EXPECT_EQ(PerMille(2000, 1000), 1000u);
}

TEST(Progress, FollowsTheFilesOfAnArchiveOfSmallOnes) {
  // 20,000 files of 1 KiB: half of the files written is about half way.
  EXPECT_EQ(ExtractionPerMille(10000 << 10, 20000 << 10, 10000, 20000), 500u);
  // One large file: its bytes decide.
  EXPECT_EQ(ExtractionPerMille(std::uint64_t{1} << 29, std::uint64_t{1} << 30, 0, 1), 499u);
  // Nothing but empty files, and an empty archive.
  EXPECT_EQ(ExtractionPerMille(0, 0, 3, 300), 10u);
  EXPECT_EQ(ExtractionPerMille(0, 0, 0, 0), 1000u);
  // Sizes that would overflow a sum of bytes.
  EXPECT_EQ(ExtractionPerMille(kMax / 2, kMax, std::uint64_t{1} << 31, std::uint64_t{1} << 32), 499u);
}

TEST(Progress, SendsAtMostOnePositionPerIntervalButAlwaysTheFirstAndTheEnd) {
  EXPECT_TRUE(ProgressDue(0, false, 0));
  EXPECT_FALSE(ProgressDue(500, true, kProgressIntervalMs - 1));
  EXPECT_TRUE(ProgressDue(500, true, kProgressIntervalMs));
  EXPECT_TRUE(ProgressDue(1000, true, 0));
}

const fs::path kData = fs::absolute("extract-data");

class OverwriteTest : public ::testing::TestWithParam<std::int32_t> {
 protected:
  OverwriteTest() {
    worker.window = dialog.window();
    worker.archive = (kData / "lzma2.7z").wstring();
    worker.destination = (dir / L"out").wstring();
  }
  testsupport::TempDir dir;
  TestDialog dialog;
  TestWorker worker;
};

// Two existing files; each answer decides what happens to them.
TEST_P(OverwriteTest, TreatsExistingFilesAsAnswered) {
  const std::int32_t answer = GetParam();
  fs::create_directories(dir / L"out\\docs");
  const Bytes old = {'o', 'l', 'd'};
  WriteBytes(dir / L"out\\readme.txt", old);
  WriteBytes(dir / L"out\\docs\\notes.txt", old);
  const auto oldTime = fs::last_write_time(dir / L"out\\readme.txt") - std::chrono::hours(48);
  fs::last_write_time(dir / L"out\\readme.txt", oldTime);
  dialog.overwriteAnswer = answer;

  const HRESULT result = RunExtraction(worker).result;

  const bool replaced = answer == OverwriteYes || answer == OverwriteYesToAll;
  const bool everyFile = answer == OverwriteYes || answer == OverwriteNo;
  EXPECT_EQ(result, answer == OverwriteCancel ? E_ABORT : S_OK);
  EXPECT_EQ(dialog.overwriteQuestions.size(), everyFile ? 2u : 1u);
  EXPECT_EQ(dialog.overwriteQuestions[0], (dir / L"out\\docs\\notes.txt").wstring());
  if (answer == OverwriteCancel) return;
  EXPECT_EQ(ReadBytes(dir / L"out\\readme.txt") == old, !replaced);
  EXPECT_EQ(ReadBytes(dir / L"out\\docs\\notes.txt") == old, !replaced);
  // A kept file keeps its time as well.
  EXPECT_EQ(fs::last_write_time(dir / L"out\\readme.txt") == oldTime, !replaced);
  EXPECT_TRUE(fs::exists(dir / L"out\\docs\\nested\\deep.txt"));
}

std::string AnswerName(const ::testing::TestParamInfo<std::int32_t>& info) {
  static const char* const kNames[] = {"Yes", "YesToAll", "No", "NoToAll", "Cancel"};
  return kNames[info.param];
}

INSTANTIATE_TEST_SUITE_P(Answers, OverwriteTest,
                         ::testing::Values(OverwriteYes, OverwriteYesToAll, OverwriteNo,
                                           OverwriteNoToAll, OverwriteCancel),
                         AnswerName);

// An archive whose item the engine would write elsewhere or under another
// name fails before anything is created, naming the item. 7z archives
// store "/" between the parts of a path.
TEST(HostileNames, FailTheExtractionBeforeAnythingIsCreated) {
  const std::wstring unique = std::to_wstring(GetCurrentProcessId());
  const std::vector<std::wstring> names = {
      L"../parent.txt",          L"a/../../../up.txt",         L"/rooted-" + unique + L".txt",
      L"C:/drive-" + unique + L".txt", L"C:relative-" + unique + L".txt", L"//server/share/unc.txt",
      L"a.txt:evil",             L"COM0.txt",                  L"sub/lpt9/x.txt",
      L"trailing."};
  for (std::wstring name : names) {
    testsupport::TempDir dir;
    fs::create_directories(dir / L"x\\y");
    WriteBytes(dir / L"x\\y\\setup.7z", StoredArchive({{L"first.txt", "1"}, {name, "2"}}));
    TestWorker worker;
    worker.archive = (dir / L"x\\y\\setup.7z").wstring();
    worker.destination = (dir / L"x\\y\\out").wstring();

    EXPECT_EQ(RunExtraction(worker).result, HRESULT_FROM_WIN32(ERROR_INVALID_NAME)) << name;

    std::replace(name.begin(), name.end(), L'/', L'\\');
    EXPECT_EQ(worker.currentItem, name);
    EXPECT_TRUE(worker.items.empty()) << name;
    EXPECT_EQ(ListTree(dir.path()), (std::vector<std::wstring>{L"x\\", L"x\\y\\", L"x\\y\\out\\", L"x\\y\\setup.7z"}))
        << name;
  }
  EXPECT_FALSE(fs::exists(L"C:\\drive-" + unique + L".txt"));
  EXPECT_FALSE(fs::exists(L"\\rooted-" + unique + L".txt"));
}

}  // namespace
