#include "kestlib/ui/ResizeDlg.h"

#include "DialogTemplateBuilder.h"

#include <gtest/gtest.h>

namespace {

using kestlib::AnchorBottom;
using kestlib::AnchorLeft;
using kestlib::AnchorRight;
using kestlib::AnchorTop;
using testing_support::DialogTemplateBuilder;
using testing_support::kButtonClass;
using testing_support::kStaticClass;

constexpr int kStretched = 101;
constexpr int kCorner = 102;
constexpr int kCentred = 103;

std::vector<std::uint8_t> AnchorDialog(DWORD frame) {
  return DialogTemplateBuilder(WS_POPUP | WS_CAPTION | WS_SYSMENU | frame, 200, 100)
      .Add(kStretched, kStaticClass, 7, 7, 186, 10)
      .Add(kCorner, kButtonClass, 143, 79, 50, 14)
      .Add(kCentred, kStaticClass, 80, 40, 40, 10)
      .Build();
}

class AnchoredDialog : public kestlib::CResizeDlg {
 public:
  using CResizeDlg::CResizeDlg;

 protected:
  BOOL OnInitDialog() override {
    const BOOL result = CResizeDlg::OnInitDialog();
    AddAnchor(kStretched, AnchorLeft | AnchorRight | AnchorTop);
    AddAnchor(GetDlgItem(kCorner), AnchorRight | AnchorBottom);
    AddAnchor(kCentred, 0);
    return result;
  }
};

class ResizeDlgTest : public ::testing::Test {
 protected:
  RECT Item(int id) const { return m_dialog.GetDlgItemRect(m_dialog.GetDlgItem(id)); }
  RECT Client() const {
    RECT client{};
    GetClientRect(m_dialog.GetSafeHwnd(), &client);
    return client;
  }
  void Grow(int dx, int dy) {
    RECT window{};
    GetWindowRect(m_dialog.GetSafeHwnd(), &window);
    SetWindowPos(m_dialog.GetSafeHwnd(), nullptr, 0, 0, window.right - window.left + dx,
                 window.bottom - window.top + dy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  AnchoredDialog m_dialog{AnchorDialog(WS_THICKFRAME)};
};

void ExpectRect(const RECT& actual, const RECT& expected) {
  EXPECT_EQ(actual.left, expected.left);
  EXPECT_EQ(actual.top, expected.top);
  EXPECT_EQ(actual.right, expected.right);
  EXPECT_EQ(actual.bottom, expected.bottom);
}

TEST_F(ResizeDlgTest, AnchoredControlsFollowTheGain) {
  ASSERT_TRUE(m_dialog.Create());
  const RECT stretched = Item(kStretched);
  const RECT corner = Item(kCorner);
  const RECT centred = Item(kCentred);
  const RECT before = Client();

  Grow(60, 40);
  const RECT after = Client();
  const int dx = after.right - before.right;
  const int dy = after.bottom - before.bottom;
  ASSERT_EQ(dx, 60);
  ASSERT_EQ(dy, 40);

  ExpectRect(Item(kStretched), {stretched.left, stretched.top, stretched.right + dx, stretched.bottom});
  ExpectRect(Item(kCorner), {corner.left + dx, corner.top + dy, corner.right + dx, corner.bottom + dy});
  ExpectRect(Item(kCentred), {centred.left + dx / 2, centred.top + dy / 2, centred.right + dx / 2,
                              centred.bottom + dy / 2});
}

TEST_F(ResizeDlgTest, RepeatedResizesComeBackExactly) {
  ASSERT_TRUE(m_dialog.Create());
  const RECT centred = Item(kCentred);
  const RECT corner = Item(kCorner);
  for (int step = 0; step < 5; ++step) Grow(7, 3);
  for (int step = 0; step < 5; ++step) Grow(-7, -3);
  ExpectRect(Item(kCentred), centred);
  ExpectRect(Item(kCorner), corner);
}

LRESULT HitTestInGrip(HWND dialog) {
  RECT client{};
  GetClientRect(dialog, &client);
  POINT corner{client.right - 2, client.bottom - 2};
  ClientToScreen(dialog, &corner);
  return SendMessageW(dialog, WM_NCHITTEST, 0, MAKELPARAM(corner.x, corner.y));
}

TEST_F(ResizeDlgTest, GripCornerSizesOnlyWithASizingFrame) {
  ASSERT_TRUE(m_dialog.Create());
  SetWindowPos(m_dialog.GetSafeHwnd(), nullptr, 50, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(HitTestInGrip(m_dialog.GetSafeHwnd()), HTBOTTOMRIGHT);

  AnchoredDialog fixed(AnchorDialog(0));
  ASSERT_TRUE(fixed.Create());
  SetWindowPos(fixed.GetSafeHwnd(), nullptr, 50, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(HitTestInGrip(fixed.GetSafeHwnd()), HTCLIENT);
}

TEST_F(ResizeDlgTest, TrackingLimitsReachTheSystem) {
  ASSERT_TRUE(m_dialog.Create());
  m_dialog.SetMinTrackSize({300, 200});
  MINMAXINFO info{};
  info.ptMaxTrackSize = {5000, 4000};
  SendMessageW(m_dialog.GetSafeHwnd(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMinTrackSize.x, 300);
  EXPECT_EQ(info.ptMinTrackSize.y, 200);
  // No maximum set: the system's stays.
  EXPECT_EQ(info.ptMaxTrackSize.x, 5000);
  EXPECT_EQ(info.ptMaxTrackSize.y, 4000);
}

}  // namespace
