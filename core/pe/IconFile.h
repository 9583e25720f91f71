// An icon file (.ico) as the resources of an executable hold it: one icon
// resource per image and the group that lists them. No Windows header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kestlib {

struct IconResources {
  std::vector<std::vector<std::uint8_t>> images;  // the icon resources, ids firstId, firstId + 1, ...
  std::vector<std::uint8_t> group;                // the group icon resource
};

// Nothing when the bytes are no icon file with at least one image that
// lies inside them.
std::optional<IconResources> ReadIconFile(const std::uint8_t* data, std::size_t size, std::uint16_t firstId);

}  // namespace kestlib
