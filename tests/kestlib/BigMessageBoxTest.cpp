// Real boxes on the test display. Each run ends from a thread timer that
// finds the box once it is up, looks at it and presses a button or a key.
#include "kestlib/ui/BigMessageBox.h"

#include <commdlg.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "kestlib/localization/MemStringResources.h"

namespace {

using kestlib::CBigMessageBox;

std::function<void(HWND)> g_inspect;

BOOL CALLBACK FindVisibleWindow(HWND window, LPARAM found) {
  if (!IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

void CALLBACK OnTimer(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND box = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindVisibleWindow, reinterpret_cast<LPARAM>(&box));
  if (!box) return;
  KillTimer(nullptr, timer);
  g_inspect(box);
}

// inspect must end the box.
int Drive(const std::function<int()>& run, std::function<void(HWND)> inspect) {
  g_inspect = std::move(inspect);
  SetTimer(nullptr, 0, 50, OnTimer);
  return run();
}

void PressKey(UINT key) { PostMessageW(GetFocus(), WM_KEYDOWN, key, 0); }

void Click(HWND box, int id) {
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
}

std::wstring Text(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}

RECT ClientRectOf(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  return rect;
}

bool ScrollBarShown(HWND control) {
  SCROLLBARINFO info{};
  info.cbSize = sizeof(info);
  return GetScrollBarInfo(control, OBJID_VSCROLL, &info) && !(info.rgstate[0] & STATE_SYSTEM_INVISIBLE);
}

int StandardBox(UINT type, const std::wstring& content = L"Go on?", std::uint32_t options = 0) {
  kestlib::MemStringResources strings;
  strings.SetString(L"Yes", L"&Ja");
  strings.SetString(L"No", L"&Nein");
  return kestlib::ShowStandardBox(nullptr, strings, L"Test", nullptr, content.c_str(), type, options);
}

TEST(BigMessageBox, QuestionShowsIconAndTheTablesLabelsAndEscapeGivesCancel) {
  std::wstring yes, no;
  bool icon = false;
  EXPECT_EQ(Drive([] { return StandardBox(MB_YESNO | MB_ICONQUESTION); },
                  [&](HWND box) {
                    icon = GetDlgItem(box, CBigMessageBox::IconId) != nullptr;
                    yes = Text(GetDlgItem(box, IDYES));
                    no = Text(GetDlgItem(box, IDNO));
                    PressKey(VK_ESCAPE);
                  }),
            IDCANCEL);
  EXPECT_TRUE(icon);
  EXPECT_EQ(yes, L"&Ja");
  EXPECT_EQ(no, L"&Nein");
}

TEST(BigMessageBox, ButtonsRunLeftToRightAndTheFirstEndsWithItsId) {
  bool ordered = false;
  EXPECT_EQ(Drive([] { return StandardBox(MB_ABORTRETRYIGNORE); },
                  [&](HWND box) {
                    RECT a{}, b{}, c{};
                    GetWindowRect(GetDlgItem(box, IDABORT), &a);
                    GetWindowRect(GetDlgItem(box, IDRETRY), &b);
                    GetWindowRect(GetDlgItem(box, IDIGNORE), &c);
                    ordered = a.right <= b.left && b.right <= c.left;
                    Click(box, IDABORT);
                  }),
            IDABORT);
  EXPECT_TRUE(ordered);
}

TEST(BigMessageBox, DefaultButtonFromTheTypeOrTheFirst) {
  for (const auto& [type, expected] : {std::pair<UINT, int>{MB_YESNO | MB_DEFBUTTON2, IDNO},
                                       std::pair<UINT, int>{MB_YESNO | MB_DEFBUTTON3, IDYES}}) {
    int defaultId = 0;
    Drive([type = type] { return StandardBox(type); },
          [&](HWND box) {
            defaultId = LOWORD(SendMessageW(box, DM_GETDEFID, 0, 0));
            PressKey(VK_ESCAPE);
          });
    EXPECT_EQ(defaultId, expected) << std::hex << type;
  }
}

TEST(BigMessageBox, NoCloseIgnoresEscape) {
  // Escape arrives first; had it counted, the box would end with Cancel.
  EXPECT_EQ(Drive([] { return StandardBox(MB_OK, L"Wait", CBigMessageBox::NoClose); },
                  [](HWND box) {
                    PressKey(VK_ESCAPE);
                    Click(box, IDOK);
                  }),
            IDOK);
}

std::wstring Lines(int count, const std::wstring& line) {
  std::wstring text;
  for (int i = 0; i < count; ++i) text += line + L"\n";
  return text;
}

struct Shape {
  int clientWidth = 0;
  int textWidth = 0;
  int textHeight = 0;
  bool sizable = false;
  bool scrollBar = false;
};

Shape ShapeOf(const std::wstring& content, std::uint32_t options) {
  Shape shape;
  Drive([&] { return StandardBox(MB_OK, content, options); },
        [&](HWND box) {
          HWND text = GetDlgItem(box, CBigMessageBox::TextId);
          shape.clientWidth = ClientRectOf(box).right;
          shape.textWidth = ClientRectOf(text).right;
          shape.textHeight = ClientRectOf(text).bottom;
          shape.sizable = (GetWindowLongPtrW(box, GWL_STYLE) & WS_THICKFRAME) != 0;
          shape.scrollBar = ScrollBarShown(text);
          Click(box, IDOK);
        });
  return shape;
}

// The test display runs at 96 DPI.
TEST(BigMessageBox, SizesItselfToTheText) {
  const Shape shortLines = ShapeOf(Lines(10, L"short"), 0);
  EXPECT_EQ(shortLines.clientWidth, 270);
  EXPECT_FALSE(shortLines.scrollBar);
  EXPECT_FALSE(shortLines.sizable);

  const Shape tall = ShapeOf(Lines(300, L"line"), 0);
  EXPECT_TRUE(tall.sizable);
  EXPECT_TRUE(tall.scrollBar);
  EXPECT_EQ(tall.textHeight, 360);

  const Shape fixed = ShapeOf(Lines(300, L"line"), CBigMessageBox::FixedSize);
  EXPECT_FALSE(fixed.sizable);
  EXPECT_GT(fixed.textHeight, 360);

  const Shape oneLine = ShapeOf(L"word", 0);
  const Shape wide = ShapeOf(Lines(1, std::wstring(400, L'w')), 0);
  EXPECT_LE(wide.textWidth, 600);
  EXPECT_GT(wide.textHeight, oneLine.textHeight) << "a long line must wrap";
}

TEST(BigMessageBox, LinkClickReachesTheHandlerWithThePathOfAFileUrl) {
  std::wstring target, shown;
  CBigMessageBox box(nullptr, L"Test", nullptr, L"Open <LINK the folder|file:///C:/windows/> now", 0, 0);
  box.SetLinkHandler([&](const std::wstring& t, const std::wstring& s) {
    target = t;
    shown = s;
    return true;
  });
  Drive([&] { return box.Run(); },
        [&](HWND window) {
          HWND text = GetDlgItem(window, CBigMessageBox::TextId);
          FINDTEXTEXW find{{0, -1}, L"folder", {}};
          const LRESULT at = SendMessageW(text, EM_FINDTEXTEXW, FR_DOWN, reinterpret_cast<LPARAM>(&find));
          POINTL point{};
          SendMessageW(text, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&point), at);
          const LPARAM where = MAKELPARAM(point.x + 2, point.y + 2);
          PostMessageW(text, WM_LBUTTONDOWN, MK_LBUTTON, where);
          PostMessageW(text, WM_LBUTTONUP, 0, where);
          Click(window, IDOK);
        });
  EXPECT_EQ(target, L"C:\\windows\\");
  EXPECT_EQ(shown, L"the folder");
}

}  // namespace
