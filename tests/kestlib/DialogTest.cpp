#include "kestlib/framework/Dialog.h"
#include "kestlib/ui/MessageFont.h"

#include "DialogTemplateBuilder.h"

#include <gtest/gtest.h>

namespace {

using testing_support::DialogTemplateBuilder;
using testing_support::kButtonClass;
using testing_support::kStaticClass;

constexpr UINT_PTR kEndTimer = 1;
constexpr UINT kEndMessage = WM_APP + 1;

DialogTemplateBuilder SmallDialog(bool extended = false) {
  DialogTemplateBuilder builder(WS_POPUP | WS_CAPTION | WS_SYSMENU, 160, 80, extended);
  builder.Add(101, kStaticClass, 7, 7, 100, 10).Add(IDOK, kButtonClass, 100, 60, 50, 14);
  return builder;
}

// Ends itself with code 42 from a timer, so a modal run cannot hang.
class TimedDialog : public kestlib::CDialog {
 public:
  using CDialog::CDialog;
  int initCount = 0;

 protected:
  BOOL OnInitDialog() override {
    ++initCount;
    SetTimer(m_hWnd, kEndTimer, 50, nullptr);
    return TRUE;
  }
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    if (message == WM_TIMER && wParam == kEndTimer) {
      KillTimer(m_hWnd, kEndTimer);
      EndDialog(42);
      return true;
    }
    if (message == kEndMessage) {
      EndDialog(static_cast<INT_PTR>(wParam));
      return true;
    }
    return CDialog::HandleMessage(message, wParam, lParam, result);
  }
};

TEST(Dialog, DoModalReturnsTheCodeGivenToEndDialog) {
  TimedDialog dialog(SmallDialog().Build());
  EXPECT_EQ(dialog.DoModal(), 42);
  EXPECT_EQ(dialog.initCount, 1);
  EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
}

TEST(Dialog, DoModalFailsWithoutTemplateResource) {
  TimedDialog dialog(12345u);
  EXPECT_EQ(dialog.DoModal(), -1);
  EXPECT_EQ(dialog.initCount, 0);
}

TEST(Dialog, ModelessDialogStaysHiddenAndEndsItsLoop) {
  TimedDialog dialog(SmallDialog().Build());
  ASSERT_TRUE(dialog.Create());
  EXPECT_EQ(dialog.initCount, 1);
  EXPECT_FALSE(IsWindowVisible(dialog.GetSafeHwnd()));
  EXPECT_NE(dialog.GetDlgItem(101), nullptr);
  // The message ends the loop before the timer would.
  PostMessageW(dialog.GetSafeHwnd(), kEndMessage, 7, 0);
  EXPECT_EQ(dialog.RunModalLoop(), 7);
  EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
}

TEST(Dialog, CancelButtonEndsWithIdCancel) {
  TimedDialog dialog(SmallDialog().Build());
  ASSERT_TRUE(dialog.Create());
  PostMessageW(dialog.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  EXPECT_EQ(dialog.RunModalLoop(), IDCANCEL);
}

LOGFONTW DialogFont(HWND dialog) {
  LOGFONTW font{};
  auto handle = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
  GetObjectW(handle, sizeof(font), &font);
  return font;
}

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

TEST(MessageFont, DialogsGetTheSystemMessageFont) {
  kestlib::TemplateFont expected;
  ASSERT_TRUE(kestlib::GetMessageFont(expected));
  for (bool extended : {false, true}) {
    TimedDialog dialog(SmallDialog(extended).Font(L"Courier New", 20).Build());
    ASSERT_TRUE(dialog.Create());
    const LOGFONTW font = DialogFont(dialog.GetSafeHwnd());
    EXPECT_EQ(std::wstring(font.lfFaceName), expected.face) << extended;
    EXPECT_EQ(font.lfHeight, -MulDiv(expected.points, ScreenDpi(), 72)) << extended;
  }
}

TEST(MessageFont, ReplacementKeepsTheControls) {
  for (bool extended : {false, true}) {
    const std::vector<std::uint8_t> original = SmallDialog(extended).Build();
    const std::vector<std::uint8_t> replaced =
        kestlib::ReplaceTemplateFont(original.data(), original.size(), {L"Arial", 11});
    ASSERT_FALSE(replaced.empty());
    TimedDialog dialog(replaced);
    ASSERT_TRUE(dialog.Create());
    EXPECT_NE(dialog.GetDlgItem(101), nullptr) << extended;
    EXPECT_NE(dialog.GetDlgItem(IDOK), nullptr) << extended;
  }
}

TEST(MessageFont, TemplatesWithoutFontOrCutShortAreLeftAlone) {
  std::vector<std::uint8_t> plain = SmallDialog().Build();
  EXPECT_TRUE(kestlib::ReplaceTemplateFont(plain.data(), 20, {L"Arial", 11}).empty());
  plain[0] = static_cast<std::uint8_t>(plain[0] & ~DS_SETFONT);
  EXPECT_TRUE(kestlib::ReplaceTemplateFont(plain.data(), plain.size(), {L"Arial", 11}).empty());
}

}  // namespace
