// What a platform message-box type asks for: the icon and the buttons with
// the string ids of their labels, so the labels can be the localized ones.
#pragma once

#include <cstdint>
#include <vector>

namespace kestlib {

// Icon kinds of the rich message box.
enum MessageIcon : std::uint32_t { IconNone = 0, IconInformation = 1, IconWarning = 2, IconError = 3, IconQuestion = 4 };

struct StandardButton {
  int id;
  const wchar_t* labelId;
  bool isDefault;
};

// From the icon bits (0x10 error, 0x20 question, 0x30 warning, 0x40
// information).
MessageIcon StandardIcon(std::uint32_t type);

// From the low four bits, left to right; the one at the position in bits 8
// to 11 is the default. A type without buttons gets OK as the default.
std::vector<StandardButton> StandardButtons(std::uint32_t type);

}  // namespace kestlib
