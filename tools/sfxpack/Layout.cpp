#include "Layout.h"

#include <algorithm>
#include <string>

#include "Errors.h"
#include "core/payload/PayloadFormat.h"

namespace sfxpack {

Layout PlanLayout(std::uint64_t imageSize, std::uint64_t blockSize, const std::string& image) {
  Layout layout;
  layout.startMarkerOffset = imageSize;
  layout.blockOffset = imageSize + payload::kStartMarkerSize;
  layout.endMarkerOffset = layout.blockOffset + blockSize;
  layout.archiveOffset = layout.endMarkerOffset + payload::kEndMarkerSize;
  if (layout.archiveOffset >= payload::kArchiveWindow)
    throw PackError("the archive would begin at offset " + std::to_string(layout.archiveOffset) +
                    ", but the installer finds it only within the first 4 MiB (" +
                    std::to_string(payload::kArchiveWindow) + " bytes); " + image + " (" +
                    std::to_string(imageSize) + " bytes) and the configuration block (" +
                    std::to_string(blockSize) + " bytes) take too much room");
  return layout;
}

std::uint64_t FinalFileSize(const Layout& layout, std::uint64_t archiveSize) {
  const std::uint64_t size = layout.archiveOffset + archiveSize;
  const std::uint64_t scanned = std::min<std::uint64_t>(size, payload::kBlockWindow);
  if (scanned < 20 || layout.endMarkerOffset >= scanned - 20)
    throw PackError("the end marker would stand at offset " +
                    std::to_string(layout.endMarkerOffset) +
                    ", where the installer's search (up to min(file size, 20 MiB) - 20 = " +
                    std::to_string(scanned < 20 ? 0 : scanned - 20) +
                    ") would miss it; the archive (" + std::to_string(archiveSize) +
                    " bytes) is too short");
  return size;
}

}  // namespace sfxpack
