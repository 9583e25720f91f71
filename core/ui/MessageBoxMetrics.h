// The rich message box's measures in pixels: the values at 96 DPI scaled
// by the window's DPI and rounded.
#pragma once

namespace kestlib {

struct MessageBoxMetrics {
  explicit MessageBoxMetrics(int dpi);
  // Rounded to the nearest pixel.
  int Scale(int pixels) const;

  int dpi;
  int hMargin;
  int vMargin;
  int minButtonWidth;
  int buttonHeight;
  int buttonGap;
  int labelSpace;
  int minClientWidth;
  int minTextHeight;
  int maxTextWidth;
  int maxTextHeight;
  int iconSize;
  // The line above the footer: 1 pixel at 96 DPI.
  int separator;
};

}  // namespace kestlib
