// The texts of the folder questions and the completion (byte counts, the
// items that are selected when the folder opens) and the names a folder
// on Windows can hold.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/ByteSize.h"
#include "core/PathRules.h"

namespace {

TEST(FormatByteSizeTest, PicksTheUnitAndPrecisionAtEachBoundary) {
  struct Case {
    std::uint64_t bytes;
    const wchar_t* text;
  };
  for (const Case& c : {Case{50, L"0 KB"}, Case{102, L"0 KB"}, Case{103, L"0.1 KB"}, Case{1536, L"1.5 KB"},
                        Case{1048575, L"1024.0 KB"}, Case{1048576, L"1.0 MB"}, Case{734003200, L"700.0 MB"},
                        Case{3221225472ull, L"3.00 GB"}, Case{1099511627776ull, L"1.00 TB"},
                        Case{5497558138880ull, L"5.00 TB"}})
    EXPECT_EQ(FormatByteSize(c.bytes), c.text) << c.bytes;
}

TEST(FormatByteSizeTest, UsesTheGivenUnitsAndFillsMissingOnes) {
  EXPECT_EQ(FormatByteSize(734003200, {L"Kio", L"Mio", L"Gio", L"Tio"}), L"700.0 Mio");
  EXPECT_EQ(FormatByteSize(3221225472ull, {L"Kio"}), L"3.00 GB");
  EXPECT_EQ(FormatByteSize(1536, {L"Kio", L"Mio", L"Gio", L"Tio", L"Pio"}), L"1.5 Kio");
}

TEST(TopLevelItemsTest, KeepsOnlyTheItemsDirectlyInTheFolder) {
  const std::vector<std::wstring> items = {L"docs\\", L"docs\\guide.txt", L"docs\\img\\", L"setup.exe",
                                           L"other/", L"other/a.txt", L""};
  EXPECT_EQ(TopLevelItems(items), (std::vector<std::wstring>{L"docs", L"setup.exe", L"other"}));
}

}  // namespace

TEST(PathNameProblemTest, NamesThePartWindowsCannotCreate) {
  struct Case {
    const wchar_t* path;
    const wchar_t* part;  // empty: every part can be created
  };
  for (const Case& c : {Case{L"docs\\nested\\readme.txt", L""}, Case{L"docs/q?.txt", L"q?.txt"},
                        Case{L"CON\\readme.txt", L"CON"}, Case{L"nul.txt", L"nul.txt"},
                        Case{L"a\\..\\b.txt", L""}, Case{L"C:drive.txt", L""},
                        Case{L"a\\trailing. ", L"trailing. "}}) {
    const std::wstring problem = PathNameProblem(c.path);
    if (*c.part == L'\0')
      EXPECT_EQ(problem, L"") << c.path;
    else
      EXPECT_EQ(problem.rfind(std::wstring(L"\"") + c.part + L"\":", 0), 0u) << c.path << L" gave " << problem;
  }
}
