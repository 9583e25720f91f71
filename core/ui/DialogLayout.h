// The arithmetic of the dialogs' look, without windows: where an anchored
// control goes when its dialog is resized, and the colour of the line
// between the content area and the footer band.
#pragma once

#include <cstdint>

namespace kestlib {

struct LayoutRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const LayoutRect& other) const {
    return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
  }
};

// A control's edges keep their distance to the named edges of the client
// area; pins put an edge on the client area's edge.
enum AnchorFlags : std::uint32_t {
  AnchorTop = 0x1,
  AnchorLeft = 0x2,
  AnchorRight = 0x4,
  AnchorBottom = 0x8,
  PinTop = 0x100,
  PinLeft = 0x200,
  PinRight = 0x400,
  PinBottom = 0x800,
  NoCopyBits = 0x10000,
};

// The control's rectangle after the client area changed from oldClient to
// newClient. Neither anchor of a direction keeps the control centred.
LayoutRect ArrangeAnchored(const LayoutRect& control, std::uint32_t flags, const LayoutRect& oldClient,
                           const LayoutRect& newClient);

// Colours as 0x00BBGGRR, the layout of the system's colour values.
using ColorValue = std::uint32_t;

// The separator between content (window colour) and footer (button face):
// a shade of the content colour just darker (light schemes) or lighter
// (dark ones) than both; the content colour itself when the two differ
// clearly already, as in high-contrast schemes.
ColorValue SeparatorColor(ColorValue content, ColorValue footer);

}  // namespace kestlib
