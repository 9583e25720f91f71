// A resizable dialog: anchored controls follow the edges of the client area
// and a size grip sits in the bottom-right corner when the frame is sizable.
#pragma once

#include "kestlib/Holders.h"
#include "kestlib/framework/Dialog.h"
#include "core/ui/DialogLayout.h"

#include <windows.h>

#include <climits>
#include <cstdint>
#include <vector>

namespace kestlib {

class CResizeDlg : public CDialog {
 public:
  using CDialog::CDialog;

  // Records the control's current rectangle; false when it has no window.
  bool AddAnchor(int controlId, std::uint32_t flags);
  bool AddAnchor(HWND control, std::uint32_t flags);
  // Moves and sizes the anchored controls for the current client area.
  void ArrangeAnchors(bool redraw);

  void SetMinTrackSize(SIZE size) { m_minTrack = size; }
  void SetMaxTrackSize(SIZE size) { m_maxTrack = size; }

 protected:
  BOOL OnInitDialog() override;
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  // Draws the grip when the frame is sizable.
  void DrawSizeGrip(HDC dc);

 private:
  struct Anchor {
    HWND control;
    std::uint32_t flags;
    // The control and the client area when it was anchored: every
    // arrangement starts from them, so repeated resizes never drift.
    LayoutRect rect;
    LayoutRect client;
  };

  // Takes the dialog's state after the framework's initialisation.
  void InitLayout();
  void UpdateSizeGrip();
  // The grip square in the corner of the given client rectangle.
  RECT GripRect(const RECT& client) const;
  void OnSize(WPARAM type);
  bool DrawThemedSizeGrip(HDC dc, const RECT& grip);

  std::vector<Anchor> m_anchors;
  bool m_sizeGrip = false;
  RECT m_gripClient{};
  SIZE m_minTrack{0, 0};
  SIZE m_maxTrack{INT_MAX, INT_MAX};
  UniqueModule m_uxtheme;
  bool m_uxthemeTried = false;
};

}  // namespace kestlib
