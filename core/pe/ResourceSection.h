// Writer of a PE32 image's resource section: the tree built anew from a
// list of resources, replacing the image's resource section. Checks the image
// as the reader does; no Windows header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/pe/PeImage.h"

namespace kestlib {

inline constexpr std::uint16_t kResourceTypeIcon = 3;
inline constexpr std::uint16_t kResourceTypeGroupIcon = 14;
inline constexpr std::uint16_t kResourceTypeVersion = 16;

struct Resource {
  ResourceKey type;
  ResourceKey name;
  std::uint16_t language = 0;
  std::uint32_t codePage = 0;
  std::vector<std::uint8_t> data;
};

// The resources of an image with their bytes; nothing when the tree is
// malformed.
std::optional<std::vector<Resource>> ReadResources(const std::uint8_t* data, std::size_t size);

// The image with its resource section replaced by one holding resources.
// The section must be the last one, in the section table, in memory and in
// the file, or be followed only by the base relocations (as lld links);
// it must begin with the resource tree, and the image must end the file
// (no signature): then the section grows or shrinks without moving any
// other but the relocations, which move behind it, and the section
// headers, the size of the image and the directory entries follow; the
// checksum is cleared. Nothing when the image has another shape.
std::optional<std::vector<std::uint8_t>> ReplaceResources(const std::uint8_t* data, std::size_t size,
                                                          const std::vector<Resource>& resources);

}  // namespace kestlib
