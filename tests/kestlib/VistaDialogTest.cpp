#include "kestlib/ui/VistaDialog.h"

#include "DialogTemplateBuilder.h"

#include <gtest/gtest.h>

namespace {

using testing_support::DialogTemplateBuilder;
using testing_support::kButtonClass;
using testing_support::kStaticClass;

constexpr int kContentText = 201;
constexpr int kFooterText = 202;

// 120 dialog units high: the default footer (29 units) starts at 91.
std::vector<std::uint8_t> FooterDialog() {
  return DialogTemplateBuilder(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, 200, 120)
      .Add(kContentText, kStaticClass, 7, 7, 150, 10)
      .Add(kFooterText, kStaticClass, 7, 100, 80, 10)
      .Add(IDOK, kButtonClass, 143, 99, 50, 14, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON)
      .Build();
}

class FooterDialogUnderTest : public kestlib::CVistaDialog {
 public:
  FooterDialogUnderTest() : CVistaDialog(FooterDialog()) {}
  int hookCount = 0;

 protected:
  void OnInitDialogHook() override { ++hookCount; }
};

// A 32-bit DIB to paint into, so pixels read back exactly.
class Canvas {
 public:
  Canvas(int width, int height) : m_dc(CreateCompatibleDC(nullptr)) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    m_bitmap = CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    m_old = SelectObject(m_dc, m_bitmap);
  }
  ~Canvas() {
    SelectObject(m_dc, m_old);
    DeleteObject(m_bitmap);
    DeleteDC(m_dc);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  HDC dc() const { return m_dc; }

 private:
  HDC m_dc;
  HBITMAP m_bitmap;
  HGDIOBJ m_old;
};

class VistaDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_dialog.Create()); }
  HWND Window() const { return m_dialog.GetSafeHwnd(); }
  LRESULT CtlColor(UINT message, int id) {
    HDC dc = GetDC(Window());
    const LRESULT brush =
        SendMessageW(Window(), message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(m_dialog.GetDlgItem(id)));
    m_lastBkColor = GetBkColor(dc);
    ReleaseDC(Window(), dc);
    return brush;
  }

  FooterDialogUnderTest m_dialog;
  COLORREF m_lastBkColor = 0;
};

TEST_F(VistaDialogTest, HookRunsOnceAndFooterIs29DialogUnits) {
  EXPECT_EQ(m_dialog.hookCount, 1);
  RECT units{0, 0, 0, 29};
  MapDialogRect(Window(), &units);
  EXPECT_EQ(m_dialog.FooterHeight(), units.bottom);
  RECT client{};
  GetClientRect(Window(), &client);
  EXPECT_EQ(m_dialog.FooterRect().top, client.bottom - units.bottom);
  EXPECT_EQ(m_dialog.ContentRect().bottom, m_dialog.FooterRect().top);
}

TEST_F(VistaDialogTest, ControlsTakeTheColourOfTheirBand) {
  EXPECT_EQ(CtlColor(WM_CTLCOLORSTATIC, kContentText), reinterpret_cast<LRESULT>(m_dialog.ContentBrush()));
  EXPECT_EQ(m_lastBkColor, GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(CtlColor(WM_CTLCOLORSTATIC, kFooterText), reinterpret_cast<LRESULT>(m_dialog.FooterBrush()));
  EXPECT_EQ(m_lastBkColor, GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(CtlColor(WM_CTLCOLORBTN, IDOK), reinterpret_cast<LRESULT>(m_dialog.FooterBrush()));
  // Other kinds keep the system's colours.
  const LRESULT edit = CtlColor(WM_CTLCOLOREDIT, kContentText);
  EXPECT_NE(edit, reinterpret_cast<LRESULT>(m_dialog.ContentBrush()));
  EXPECT_NE(edit, reinterpret_cast<LRESULT>(m_dialog.FooterBrush()));
}

TEST_F(VistaDialogTest, BackgroundShowsContentSeparatorAndFooter) {
  RECT client{};
  GetClientRect(Window(), &client);
  Canvas canvas(client.right, client.bottom);
  SendMessageW(Window(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.dc()), 0);
  const int footerTop = m_dialog.FooterRect().top;
  const COLORREF content = GetSysColor(COLOR_WINDOW);
  const COLORREF footer = GetSysColor(COLOR_BTNFACE);
  EXPECT_EQ(GetPixel(canvas.dc(), 5, footerTop - 1), content);
  EXPECT_EQ(GetPixel(canvas.dc(), 5, footerTop), kestlib::SeparatorColor(content, footer));
  EXPECT_EQ(GetPixel(canvas.dc(), 5, footerTop + 3), footer);
}

TEST_F(VistaDialogTest, ColourChangesKeepColoursSetByTheDialog) {
  const COLORREF custom = RGB(12, 34, 56);
  m_dialog.SetFooterColor(custom);
  SendMessageW(Window(), WM_SYSCOLORCHANGE, 0, 0);
  EXPECT_EQ(CtlColor(WM_CTLCOLORSTATIC, kFooterText), reinterpret_cast<LRESULT>(m_dialog.FooterBrush()));
  EXPECT_EQ(m_lastBkColor, custom);
  CtlColor(WM_CTLCOLORSTATIC, kContentText);
  EXPECT_EQ(m_lastBkColor, GetSysColor(COLOR_WINDOW));
}

TEST_F(VistaDialogTest, ControlInFooterFollowsTheBottomEdge) {
  m_dialog.AddAnchor(kFooterText, kestlib::AnchorLeft | kestlib::AnchorBottom);
  RECT window{};
  GetWindowRect(Window(), &window);
  SetWindowPos(Window(), nullptr, 0, 0, window.right - window.left, window.bottom - window.top + 50,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(CtlColor(WM_CTLCOLORSTATIC, kFooterText), reinterpret_cast<LRESULT>(m_dialog.FooterBrush()));
}

}  // namespace
