#include "setup/startup/SetupPaths.h"

#include <gtest/gtest.h>

namespace {

TEST(SetupPaths, CombineInsertsOneBackslash) {
  EXPECT_EQ(CombinePath(L"C:\\tmp", L"hlvabc"), L"C:\\tmp\\hlvabc");
  EXPECT_EQ(CombinePath(L"C:\\tmp\\", L"hlvabc"), L"C:\\tmp\\hlvabc");
  EXPECT_EQ(CombinePath(L"", L"hlvabc"), L"hlvabc");
}

TEST(SetupPaths, OnlyDriveAndUncPathsAreAbsolute) {
  EXPECT_TRUE(IsAbsolutePath(L"C:\\x"));
  EXPECT_TRUE(IsAbsolutePath(L"d:"));
  EXPECT_TRUE(IsAbsolutePath(L"\\\\server\\share"));
  EXPECT_FALSE(IsAbsolutePath(L"\\x"));
  EXPECT_FALSE(IsAbsolutePath(L"x\\y"));
  EXPECT_FALSE(IsAbsolutePath(L"1:\\x"));
  EXPECT_FALSE(IsAbsolutePath(L""));
}

TEST(SetupPaths, BaseNameDropsFolderAndLastExtension) {
  EXPECT_EQ(BaseName(L"C:\\dl\\setup.exe"), L"setup");
  EXPECT_EQ(BaseName(L"C:\\dl\\my.setup.exe"), L"my.setup");
  EXPECT_EQ(BaseName(L"C:\\dl\\setup"), L"setup");
  EXPECT_EQ(BaseName(L"setup.exe"), L"setup");
}

TEST(SetupPaths, CurrentDirectoryEndsWithBackslash) {
  const std::wstring dir = CurrentDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), L'\\');
}

}  // namespace
