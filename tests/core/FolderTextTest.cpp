// The texts of the folder questions and the completion (byte counts, the
// items that are selected when the folder opens) and the names a folder
// on Windows can hold.
#include <gtest/gtest.h>

#include <cwchar>
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

// What the installer refuses of an item's path and why; the paths it
// creates are held to the engine's own by a test of the stub.
TEST(ItemPathProblemTest, SaysWhyAnItemWouldNotBeCreatedAsNamed) {
  struct Case {
    const wchar_t* path;
    bool folder;
    const wchar_t* problem;  // its beginning; empty: created as named
  };
  for (const Case& c : {Case{L"docs/nested/readme.txt", false, L""}, Case{L"./dir/file", false, L""},
                        Case{L".", true, L""}, Case{L"dir/", true, L""}, Case{L"a//b.txt", false, L""},
                        Case{L"COM10", false, L""}, Case{L"CONSOLE.txt", false, L""},
                        Case{L"../x", false, L"it climbs out"}, Case{L"sub\\..\\..\\x", false, L"it climbs out"},
                        Case{L"/abs/x", false, L"it is an absolute path"},
                        Case{L"C:/x.txt", false, L"it is an absolute path"},
                        Case{L"C:x.txt", false, L"\"C:x.txt\" would be written as \"C_x.txt\""}, Case{L"dir/", false, L"it names no file"},
                        Case{L"docs/q?.txt", false, L"\"q?.txt\" would be written as \"q_.txt\": its name holds the character ?"},
                        Case{L"a:b", false, L"\"a:b\" would be written as \"a_b\""},
                        Case{L"CON/readme.txt", false, L"\"CON\" would be written as \"_CON\": its name is reserved"},
                        Case{L"com0.txt", false, L"\"com0.txt\" would be written as \"_com0.txt\""},
                        Case{L"LPT0", true, L"\"LPT0\" would be written as \"_LPT0\""},
                        Case{L"nul .tar.gz", false, L"\"nul .tar.gz\" would be written as \"_nul .tar.gz\""},
                        Case{L"a/trailing. ", false, L"\"trailing. \" would be written as \"trailing__\": its name ends"},
                        Case{L"tab\there", false, L"\"tab\there\" would be written as \"tab_here\": its name holds a control"}}) {
    const std::wstring problem = ItemPathProblem(c.path, c.folder);
    EXPECT_EQ(problem.substr(0, std::wcslen(c.problem)), c.problem) << c.path << L" gave " << problem;
    EXPECT_EQ(problem.empty(), *c.problem == L'\0') << c.path << L" gave " << problem;
  }
}

TEST(ExtractedItemPathTest, DropsDotPartsAndRenamesAsTheEngineDoes) {
  EXPECT_EQ(ExtractedItemPath(L"./dir/file", false), L"dir\\file");
  EXPECT_EQ(ExtractedItemPath(L".", true), L"");
  EXPECT_EQ(ExtractedItemPath(L"../a/../b", false), L"a\\b");
  EXPECT_EQ(ExtractedItemPath(L"sub/COM0.txt", false), L"sub\\_COM0.txt");
  EXPECT_EQ(ExtractedItemPath(L"C:\\x:y.", false), L"C_\\x_y_");
  EXPECT_EQ(ExtractedItemPath(L"dir/", false), L"dir\\_");
}
