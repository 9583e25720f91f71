#include "kestlib/MessageBox.h"

#include <gtest/gtest.h>

namespace {

using kestlib::MessageBoxShown;

TEST(MessageBoxLevels, SilentShowsNothingNotEvenErrors) {
  EXPECT_FALSE(MessageBoxShown(0, MB_ICONERROR));
  EXPECT_FALSE(MessageBoxShown(0, MB_OK));
  EXPECT_EQ(kestlib::ShowMessageBox(L"never shown", MB_ICONERROR, 0, 0), 0);
}

TEST(MessageBoxLevels, ReducedLevelsShowOnlyErrorsAndWarnings) {
  for (int level : {1, 2, 3}) {
    EXPECT_TRUE(MessageBoxShown(level, MB_ICONERROR | MB_OK)) << level;
    EXPECT_TRUE(MessageBoxShown(level, MB_ICONWARNING | MB_YESNO)) << level;
    EXPECT_FALSE(MessageBoxShown(level, MB_ICONINFORMATION)) << level;
    EXPECT_FALSE(MessageBoxShown(level, MB_ICONQUESTION | MB_YESNO)) << level;
    EXPECT_FALSE(MessageBoxShown(level, MB_OK)) << level;
  }
}

TEST(MessageBoxLevels, NormalLevelShowsEverything) {
  EXPECT_TRUE(MessageBoxShown(4, MB_OK));
  EXPECT_TRUE(MessageBoxShown(4, MB_ICONQUESTION | MB_YESNO));
  EXPECT_TRUE(MessageBoxShown(4, MB_ICONERROR));
}

}  // namespace
