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

namespace {
const std::string kLimitText = "Windows' limit of 4 GiB (" + std::to_string(kFileLimit) + " bytes)";
}

std::optional<std::string> SizeLimitFault(std::uint64_t size) {
  if (size < kFileLimit) return std::nullopt;
  return "the file has " + std::to_string(size) + " bytes, at or over " + kLimitText +
         ": Windows starts no program file that large, and no signature can cover it";
}

std::optional<std::string> CheckInstallerSize(std::uint64_t size) {
  if (size >= kFileLimit)
    throw PackError("the installer would have " + std::to_string(size) + " bytes, at or over " + kLimitText +
                    ": Windows would not start it and it could not be signed; make the payload smaller "
                    "(or compress it more) by at least " + std::to_string(size - kFileLimit + kSignatureRoom) +
                    " bytes");
  if (kFileLimit - size >= kSignatureRoom) return std::nullopt;
  return "the installer has " + std::to_string(size) + " bytes, only " + std::to_string(kFileLimit - size) +
         " below " + kLimitText + ": a signature may not fit";
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
