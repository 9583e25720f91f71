#include "core/payload/Lzma2Blocks.h"

namespace payload {
namespace {

constexpr std::uint64_t kSignatureHeaderSize = 32;
constexpr std::uint8_t kEnd = 0x00;
constexpr std::uint8_t kStoredWithReset = 0x01;
constexpr std::uint8_t kStored = 0x02;
constexpr std::uint8_t kLzma = 0x80;
constexpr std::uint8_t kLzmaWithReset = 0xE0;  // and every control byte above

}  // namespace

std::optional<std::uint64_t> CountLzma2Blocks(const ArchiveReader& read) {
  std::uint8_t header[kSignatureHeaderSize];
  if (!read(0, header, sizeof header)) return std::nullopt;
  std::uint64_t nextHeaderOffset = 0;
  for (int i = 7; i >= 0; --i) nextHeaderOffset = nextHeaderOffset << 8 | header[12 + i];
  if (nextHeaderOffset > (std::uint64_t{1} << 62)) return std::nullopt;
  const std::uint64_t end = kSignatureHeaderSize + nextHeaderOffset;

  std::uint64_t blocks = 0;
  bool streamStart = true;  // a stream begins with a dictionary reset
  for (std::uint64_t pos = kSignatureHeaderSize; pos < end;) {
    std::uint8_t chunk[6];
    if (!read(pos, chunk, 1)) return std::nullopt;
    const std::uint8_t control = chunk[0];
    const bool reset = control == kStoredWithReset || control >= kLzmaWithReset;
    if (streamStart && !reset) {
      // What follows the LZMA2 streams (the compressed header, a filter's
      // other streams) is no business of the count.
      if (blocks > 0) return blocks;
      return std::nullopt;
    }
    if (control == kEnd) {
      streamStart = true;
      ++pos;
      continue;
    }
    if (control == kStoredWithReset || control == kStored) {
      if (!read(pos, chunk, 3)) return std::nullopt;
      pos += 3 + (std::uint64_t{chunk[1]} << 8 | chunk[2]) + 1;
    } else if (control >= kLzma) {
      const bool properties = ((control >> 5) & 3) >= 2;
      if (!read(pos, chunk, properties ? 6 : 5)) return std::nullopt;
      pos += (properties ? 6 : 5) + (std::uint64_t{chunk[3]} << 8 | chunk[4]) + 1;
    } else {
      return std::nullopt;
    }
    if (reset) ++blocks;
    streamStart = false;
  }
  if (!streamStart || blocks == 0) return std::nullopt;
  return blocks;
}

}  // namespace payload
