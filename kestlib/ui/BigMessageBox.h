// The message box of the system: an optional bold main instruction and a
// text that may be long, formatted and hold links, in a box that sizes
// itself to the text, scales with the DPI and scrolls what is too tall.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/ui/StandardButtons.h"
#include "kestlib/Holders.h"
#include "kestlib/localization/IStringResources.h"
#include "kestlib/ui/RichEditCtrlEx.h"
#include "kestlib/ui/VistaDialog.h"

namespace kestlib {

struct MessageBoxMetrics;

class CBigMessageBox : public CVistaDialog {
 public:
  enum Options : std::uint32_t {
    // No close command; Esc and the close box do nothing.
    NoClose = 0x01,
    // The text is never cut to a scrolling height; the box is not sizable.
    FixedSize = 0x02,
    TopMost = 0x08,
    NoAutoUrl = 0x10,
    // A task-bar button of its own.
    AppWindow = 0x20,
    // Flashes when it comes up behind another program's window.
    FlashOnShow = 0x40,
  };
  enum : int { TextId = 1001, IconId = 1002 };

  // (target, shown text); true when the click was handled.
  using LinkHandler = std::function<bool(const std::wstring& target, const std::wstring& text)>;

  // Null texts are empty; an empty caption is the application's name.
  // icon: a MessageIcon.
  CBigMessageBox(HWND parent, const wchar_t* caption, const wchar_t* mainInstruction, const wchar_t* content,
                 std::uint32_t icon, std::uint32_t options);

  // Left to right in the order added; the last one flagged default is the
  // default, without any the first.
  void AddButton(int id, const std::wstring& label, bool isDefault);
  void SetLinkHandler(LinkHandler handler) { m_linkHandler = std::move(handler); }

  // The id of the button that ended the box; 2 for Esc or the close box.
  int Run();

 protected:
  BOOL OnInitDialog() override;
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  struct Button {
    int id;
    std::wstring label;
    bool isDefault;
  };

  void CreateIcon(int size);
  void Layout(const MessageBoxMetrics& metrics);
  int ButtonWidth(const std::wstring& label, const MessageBoxMetrics& metrics) const;
  void OnCommand(int id, HWND from);
  void OnLinkClick(LONG first, LONG last);
  void Flash();
  static LRESULT CALLBACK KeyFilter(int code, WPARAM wParam, LPARAM lParam);
  bool OnCopyKey();

  std::wstring m_caption;
  std::wstring m_mainInstruction;
  std::wstring m_content;
  std::uint32_t m_iconKind;
  std::uint32_t m_options;
  std::vector<Button> m_buttons;
  LinkHandler m_linkHandler;
  CRichEditCtrlEx m_text;
  UniqueIcon m_icon;
  UniqueHook m_keyFilter;
  CBigMessageBox* m_outerBox = nullptr;
  bool m_scrolling = false;
  bool m_shown = false;
  int m_rightMargin = 0;
};

// A box for a platform message-box type: icon and buttons from its bits,
// labels from the string table with their access keys.
int ShowStandardBox(HWND parent, const IStringResources& strings, const wchar_t* caption,
                    const wchar_t* mainInstruction, const wchar_t* content, UINT type, std::uint32_t options);

}  // namespace kestlib
