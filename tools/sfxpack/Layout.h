// Where the parts of an installer go, and the limits of the installer's
// own search that they must respect.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sfxpack {

// Windows starts no program file of 4 GiB or more, and a signature's
// offset and size in the headers are 32-bit fields.
inline constexpr std::uint64_t kFileLimit = std::uint64_t{1} << 32;
// A signature takes some kilobytes; a timestamped chain of several
// certificates can take tens of them.
inline constexpr std::uint64_t kSignatureRoom = std::uint64_t{1} << 20;

// What is wrong with a program file of size bytes: nothing below kFileLimit.
std::optional<std::string> SizeLimitFault(std::uint64_t size);

// Refuses an installer of size bytes at or over kFileLimit; the warning,
// when less than kSignatureRoom would remain below it.
std::optional<std::string> CheckInstallerSize(std::uint64_t size);

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
