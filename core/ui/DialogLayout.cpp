#include "core/ui/DialogLayout.h"

#include <algorithm>
#include <cmath>

namespace kestlib {
namespace {

struct Hsv {
  double hue;         // 0 to 360
  double saturation;  // 0 to 1
  double value;       // 0 to 1
};

double Channel(ColorValue color, int shift) { return ((color >> shift) & 0xFF) / 255.0; }

Hsv ToHsv(ColorValue color) {
  const double r = Channel(color, 0), g = Channel(color, 8), b = Channel(color, 16);
  const double high = std::max({r, g, b});
  const double range = high - std::min({r, g, b});
  double hue = 0;
  if (range > 0) {
    if (high == r)
      hue = 60 * std::fmod((g - b) / range, 6.0);
    else if (high == g)
      hue = 60 * ((b - r) / range + 2);
    else
      hue = 60 * ((r - g) / range + 4);
    if (hue < 0) hue += 360;
  }
  return {hue, high > 0 ? range / high : 0, high};
}

ColorValue FromHsv(const Hsv& hsv) {
  const double c = hsv.value * hsv.saturation;
  const double h = hsv.hue / 60;
  const double x = c * (1 - std::fabs(std::fmod(h, 2.0) - 1));
  double r = 0, g = 0, b = 0;
  switch (static_cast<int>(h) % 6) {
    case 0: r = c, g = x; break;
    case 1: r = x, g = c; break;
    case 2: g = c, b = x; break;
    case 3: g = x, b = c; break;
    case 4: r = x, b = c; break;
    default: r = c, b = x; break;
  }
  const double m = hsv.value - c;
  const auto byte = [m](double v) { return static_cast<ColorValue>(std::lround((v + m) * 255)); };
  return byte(r) | (byte(g) << 8) | (byte(b) << 16);
}

// One direction: the edges low..high in a client extent that grew by
// `grown`; lowAnchor/highAnchor name the client edges the control follows.
void Shift(int& low, int& high, bool lowAnchor, bool highAnchor, int oldExtent, int newExtent) {
  const int grown = newExtent - oldExtent;
  if (lowAnchor && highAnchor) {
    high += grown;
  } else if (highAnchor) {
    low += grown;
    high += grown;
  } else if (!lowAnchor) {
    const int centre = newExtent / 2 - oldExtent / 2;
    low += centre;
    high += centre;
  }
}

}  // namespace

LayoutRect ArrangeAnchored(const LayoutRect& control, std::uint32_t flags, const LayoutRect& oldClient,
                           const LayoutRect& newClient) {
  LayoutRect r = control;
  Shift(r.left, r.right, flags & AnchorLeft, flags & AnchorRight, oldClient.Width(), newClient.Width());
  Shift(r.top, r.bottom, flags & AnchorTop, flags & AnchorBottom, oldClient.Height(), newClient.Height());
  if (flags & PinTop) r.top = newClient.top;
  if (flags & PinLeft) r.left = newClient.left;
  if (flags & PinRight) r.right = newClient.right;
  if (flags & PinBottom) r.bottom = newClient.bottom;
  return r;
}

ColorValue SeparatorColor(ColorValue content, ColorValue footer) {
  const Hsv a = ToHsv(content);
  const Hsv b = ToHsv(footer);
  double hueGap = std::fabs(a.hue - b.hue);
  if (hueGap > 180) hueGap = 360 - hueGap;
  const double distance = std::sqrt(std::pow(hueGap / 360, 2) + std::pow(a.saturation - b.saturation, 2) +
                                    std::pow(a.value - b.value, 2));
  if (distance > 0.15) return content;
  const bool light = (a.value + b.value) / 2 > 0.5;
  const double value = light ? std::min(a.value, b.value) - 0.08 : std::max(a.value, b.value) + 0.09;
  return FromHsv({a.hue, a.saturation, std::clamp(value, 0.0, 1.0)});
}

}  // namespace kestlib
