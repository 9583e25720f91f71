// The rich edit control of the message box: RTF documents with links, its
// wished size for a wrapping width, and a static mode in which it behaves
// like a label whose links can be clicked.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace kestlib {

class CRichEditCtrlEx {
 public:
  CRichEditCtrlEx() = default;
  CRichEditCtrlEx(const CRichEditCtrlEx&) = delete;
  CRichEditCtrlEx& operator=(const CRichEditCtrlEx&) = delete;

  // A "RICHEDIT50W" child; false when the class is not available.
  bool Create(HWND parent, int id, DWORD style, const RECT& rect);
  HWND GetSafeHwnd() const { return m_hWnd; }

  // Shows the document, links by their friendly names; where the control
  // does not do that, the links' shown texts are underlined in the
  // hot-light colour.
  void SetRtf(const std::string& document);

  // The size the text wants at the current wrapping; the parent hands the
  // control's EN_REQUESTRESIZE on to OnRequestResize.
  SIZE WishedSize();
  void OnRequestResize(const RECT& rect) { m_requested = rect; }
  // Off: one line per paragraph; on: lines wrap at the control's width.
  void SetWordWrap(bool on);
  void SetRightMargin(int pixels);

  void SetStaticMode(bool on);
  bool StaticMode() const { return m_static; }

  bool HasSelection() const;
  // The whole text to the clipboard; the selection stays as it was.
  void CopyAll();
  // The target of a link that the control made itself, where the control
  // drops hyperlink fields; empty for any other range.
  std::wstring OwnLinkTarget(LONG first, LONG last) const;
  // The text of a range of characters.
  std::wstring TextRange(LONG first, LONG last) const;
  std::wstring PlainText() const;

 private:
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR self);
  LRESULT OnStaticMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  struct OwnLink {
    LONG first;
    LONG last;
    std::wstring target;
  };

  void StreamIn(const std::string& document);
  void MarkLinksByHand();
  void MakeOwnLinks();
  void ReplaceRange(LONG first, LONG last);
  void FindLinkRanges(LONG first, LONG last);
  bool IsLinkAt(POINT client) const;

  HWND m_hWnd = nullptr;
  bool m_static = false;
  RECT m_requested{};
  // Character ranges shown as links, for hit tests in static mode.
  std::vector<std::pair<LONG, LONG>> m_links;
  std::vector<OwnLink> m_ownLinks;
};

}  // namespace kestlib
