// Whether an image carries ARM64EC code: an ARM64EC image (an x64 image
// whose code is ARM64EC) or an ARM64X image (ARM64 and ARM64EC in one).
// Both name their hybrid metadata in the load configuration. No Windows
// header.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/pe/PeImage.h"

namespace kestlib {

inline constexpr std::uint16_t kMachineArm64 = 0xAA64;

enum class HybridCode {
  None,
  Arm64EC,  // machine x64, with hybrid metadata
  Arm64X,   // machine ARM64, with hybrid metadata
};

// Reads the load configuration of a PE32+ image; a configuration that
// does not lie in the bytes, or is too short to name the metadata, names
// none.
HybridCode FindHybridCode(const std::uint8_t* data, std::size_t size, const PeImage& image);

}  // namespace kestlib
