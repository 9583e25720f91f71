#include "core/ui/StandardButtons.h"
#include "core/ui/MessageBoxMetrics.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kestlib::StandardButtons;

// The buttons as "id:label" with a "*" on the default one.
std::wstring Describe(std::uint32_t type) {
  std::wstring text;
  for (const auto& button : StandardButtons(type))
    text += std::to_wstring(button.id) + L":" + button.labelId + (button.isDefault ? L"* " : L" ");
  return text;
}

TEST(StandardButtons, EveryButtonSetInOrderWithItsLabel) {
  const struct {
    std::uint32_t type;
    const wchar_t* buttons;
  } cases[] = {
      {0x0, L"1:OK* "},
      {0x1, L"1:OK* 2:Cancel "},
      {0x2, L"3:Cancel* 4:Retry 5:Ignore "},
      {0x3, L"6:Yes* 7:No 2:Cancel "},
      {0x24, L"6:Yes* 7:No "},
      {0x5, L"4:Retry* 2:Cancel "},
      {0x6, L"2:Cancel* 10:Retry 11:Ignore "},
      // No set: OK alone.
      {0x7, L"1:OK* "},
      {0x104, L"6:Yes 7:No* "},
      // A default past the last button flags none.
      {0x204, L"6:Yes 7:No "},
  };
  for (const auto& c : cases) EXPECT_EQ(Describe(c.type), c.buttons) << std::hex << c.type;
}

TEST(StandardButtons, IconFromTheIconBits) {
  EXPECT_EQ(kestlib::StandardIcon(0x10), kestlib::IconError);
  EXPECT_EQ(kestlib::StandardIcon(0x24), kestlib::IconQuestion);
  EXPECT_EQ(kestlib::StandardIcon(0x30), kestlib::IconWarning);
  EXPECT_EQ(kestlib::StandardIcon(0x40), kestlib::IconInformation);
  EXPECT_EQ(kestlib::StandardIcon(0x50), kestlib::IconNone);
}

}  // namespace

namespace {

TEST(MessageBoxMetrics, ScaleWithTheDpi) {
  const kestlib::MessageBoxMetrics normal(96);
  EXPECT_EQ(normal.hMargin, 12);
  EXPECT_EQ(normal.separator, 1);
  const kestlib::MessageBoxMetrics large(144);
  EXPECT_EQ(large.hMargin, 18);
  EXPECT_EQ(large.minButtonWidth, 135);
  EXPECT_EQ(large.buttonHeight, 39);
  EXPECT_EQ(large.maxTextWidth, 900);
  EXPECT_EQ(large.separator, 2);
}

}  // namespace
