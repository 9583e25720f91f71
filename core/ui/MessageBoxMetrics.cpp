#include "core/ui/MessageBoxMetrics.h"

#include <algorithm>

namespace kestlib {

MessageBoxMetrics::MessageBoxMetrics(int dpi)
    : dpi(dpi),
      hMargin(Scale(12)),
      vMargin(Scale(12)),
      minButtonWidth(Scale(90)),
      buttonHeight(Scale(26)),
      buttonGap(Scale(8)),
      labelSpace(Scale(8)),
      minClientWidth(Scale(270)),
      minTextHeight(Scale(60)),
      maxTextWidth(Scale(600)),
      maxTextHeight(Scale(360)),
      iconSize(Scale(32)),
      separator(std::max(1, Scale(1))) {}

int MessageBoxMetrics::Scale(int pixels) const { return (pixels * dpi + 48) / 96; }

}  // namespace kestlib
