#include "kestlib/MessageBox.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "TempDir.h"
#include "kestlib/localization/MemStringResources.h"

namespace {

using kestlib::MessageBoxShown;

TEST(MessageBoxLevels, ReducedLevelsShowOnlyErrorsAndWarnings) {
  for (int level : {1, 2, 3}) {
    EXPECT_TRUE(MessageBoxShown(level, MB_ICONERROR | MB_OK)) << level;
    EXPECT_TRUE(MessageBoxShown(level, MB_ICONWARNING | MB_YESNO)) << level;
    EXPECT_FALSE(MessageBoxShown(level, MB_ICONINFORMATION)) << level;
    EXPECT_FALSE(MessageBoxShown(level, MB_ICONQUESTION | MB_YESNO)) << level;
    EXPECT_FALSE(MessageBoxShown(level, MB_OK)) << level;
  }
  EXPECT_FALSE(MessageBoxShown(0, MB_ICONERROR));
  EXPECT_TRUE(MessageBoxShown(4, MB_OK));
}

TEST(MessageBoxLog, SkippedBoxesAreLoggedWithTheirSeverityInUtf8) {
  testsupport::TempDir dir;
  const std::filesystem::path path = dir / L"run.log";
  ASSERT_TRUE(kestlib::AddLogFile(path.wstring()));
  const kestlib::MemStringResources strings;
  EXPECT_EQ(kestlib::ShowMessageBox(L"Disk f\u00FCll", MB_ICONERROR, 0, 0, strings), 0);
  EXPECT_EQ(kestlib::ShowMessageBox(L"Note", MB_ICONINFORMATION, 0, 2, strings), 0);

  std::ifstream in(path, std::ios::binary);
  const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (const char* record : {"[4] MessageBox: text='Disk f\xC3\xBCll', type=16\r\n",
                             "[4] Skipping MessageBox because UiLevel is Silent.\r\n",
                             "[1] MessageBox: text='Note', type=64\r\n",
                             "[1] Skipping MessageBox because UiLevel is not Normal and message is neither error "
                             "nor warning.\r\n"})
    EXPECT_NE(log.find(record), std::string::npos) << record << "\nin:\n" << log;
}

}  // namespace
