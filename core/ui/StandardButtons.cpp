#include "core/ui/StandardButtons.h"

#include <iterator>

namespace kestlib {

namespace {

const wchar_t* LabelId(int id) {
  switch (id) {
    case 1:
      return L"OK";
    case 2:
    case 3:
      return L"Cancel";
    case 4:
    case 10:
      return L"Retry";
    case 5:
    case 11:
      return L"Ignore";
    case 6:
      return L"Yes";
    default:
      return L"No";
  }
}

}  // namespace

MessageIcon StandardIcon(std::uint32_t type) {
  switch (type & 0xF0) {
    case 0x10:
      return IconError;
    case 0x20:
      return IconQuestion;
    case 0x30:
      return IconWarning;
    case 0x40:
      return IconInformation;
    default:
      return IconNone;
  }
}

std::vector<StandardButton> StandardButtons(std::uint32_t type) {
  static const std::vector<int> kSets[] = {{1}, {1, 2}, {3, 4, 5}, {6, 7, 2}, {6, 7}, {4, 2}, {2, 10, 11}};
  const std::uint32_t set = type & 0xF;
  const std::uint32_t defaultAt = (type >> 8) & 0xF;
  std::vector<StandardButton> buttons;
  if (set < std::size(kSets)) {
    for (std::size_t at = 0; at < kSets[set].size(); ++at) {
      const int id = kSets[set][at];
      buttons.push_back({id, LabelId(id), at == defaultAt});
    }
  }
  if (buttons.empty()) buttons.push_back({1, LabelId(1), true});
  return buttons;
}

}  // namespace kestlib
