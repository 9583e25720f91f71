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

// Relative, without ".." or "." parts, drive letters or stream names.
bool IsPlainRelative(const std::wstring& path) {
  if (path.empty() || path[0] == L'\\' || path.find(L':') != std::wstring::npos) return false;
  std::wstring part;
  for (std::size_t start = 0; start <= path.size();) {
    const std::size_t end = std::min(path.find(L'\\', start), path.size());
    part = path.substr(start, end - start);
    if (part.empty() || part == L"." || part == L"..") return false;
    start = end + 1;
  }
  return true;
}

TEST(DiskPath, KeepsOrdinaryPaths) {
  EXPECT_EQ(DiskRelativePath(L"docs\\nested\\deep.txt", false), L"docs\\nested\\deep.txt");
  EXPECT_EQ(DiskRelativePath(L"docs", true), L"docs");
}

TEST(DiskPath, NeverLeavesTheDestination) {
  for (const wchar_t* name : {L"..\\x.txt", L"a\\..\\..\\x.txt", L"\\x.txt", L"C:\\x.txt",
                              L"C:x.txt", L"\\\\server\\share\\x.txt", L"a.txt:evil"}) {
    EXPECT_TRUE(IsPlainRelative(DiskRelativePath(name, false))) << name;
  }
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

// Items whose names point elsewhere land inside the destination, under the
// names the worker lists.
TEST(HostileNames, StayInsideTheDestination) {
  testsupport::TempDir dir;
  const std::wstring unique = std::to_wstring(GetCurrentProcessId());
  const std::vector<std::pair<std::wstring, std::string>> items = {
      {L"..\\parent.txt", "1"},
      {L"a\\..\\..\\..\\up.txt", "2"},
      {L"../slash.txt", "3"},
      {L"\\rooted-" + unique + L".txt", "4"},
      {L"C:\\drive-" + unique + L".txt", "5"},
      {L"C:relative-" + unique + L".txt", "6"},
      {L"\\\\server\\share\\unc.txt", "7"},
      {L"a.txt:evil", "8"},
  };
  fs::create_directories(dir / L"x\\y");
  WriteBytes(dir / L"x\\y\\setup.7z", StoredArchive(items));
  TestWorker worker;
  worker.archive = (dir / L"x\\y\\setup.7z").wstring();
  worker.destination = (dir / L"x\\y\\out").wstring();

  ASSERT_EQ(RunExtraction(worker).result, S_OK);

  ASSERT_EQ(worker.items.size(), items.size());
  for (const std::wstring& item : worker.items) {
    EXPECT_TRUE(IsPlainRelative(item)) << item;
    EXPECT_TRUE(fs::is_regular_file(dir / L"x\\y\\out" / item)) << item;
  }
  // Nothing beside the archive and the destination, and nothing at the roots.
  for (const std::wstring& name : ListTree(dir.path()))
    EXPECT_TRUE(name.rfind(L"x\\y\\out\\", 0) == 0 || name == L"x\\" || name == L"x\\y\\" ||
                name == L"x\\y\\setup.7z" || name == L"x\\y\\out\\")
        << name;
  EXPECT_FALSE(fs::exists(L"C:\\drive-" + unique + L".txt"));
  EXPECT_FALSE(fs::exists(L"\\rooted-" + unique + L".txt"));
}

}  // namespace
