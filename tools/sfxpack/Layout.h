// Where the parts of an installer go, and the limits of the installer's
// own search that they must respect.
#pragma once

#include <cstdint>
#include <string>

namespace sfxpack {

struct Layout {
  std::uint64_t startMarkerOffset = 0;  // the image end
  std::uint64_t blockOffset = 0;
  std::uint64_t endMarkerOffset = 0;
  std::uint64_t archiveOffset = 0;
};

// Places the markers, the block and the archive behind the image. Refuses
// an archive that would begin at or beyond 4 MiB, where the archive engine
// no longer looks for it; image names the image in that message.
Layout PlanLayout(std::uint64_t imageSize, std::uint64_t blockSize, const std::string& image);

// The size of the finished installer. Refuses an end marker that the
// installer's scan of the first min(size, 20 MiB) - 20 bytes would miss.
std::uint64_t FinalFileSize(const Layout& layout, std::uint64_t archiveSize);

}  // namespace sfxpack
