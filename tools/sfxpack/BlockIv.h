// The initialization vector of the configuration block.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "core/payload/PayloadFormat.h"

namespace sfxpack {

// A new IV for every build, so that equal configurations never give equal
// blocks.
payload::Iv RandomIv();

// The IV of a reproducible build: a keyed hash (HMAC-SHA-256 under the
// block's key) of the configuration text and the first archiveSize bytes
// of the archive, so that equal inputs give equal installers and different
// inputs still different IVs.
payload::Iv DerivedIv(const std::string& configText, const std::filesystem::path& archive,
                      std::uint64_t archiveSize);

}  // namespace sfxpack
