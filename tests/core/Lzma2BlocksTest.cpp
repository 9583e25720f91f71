#include "core/payload/Lzma2Blocks.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A signature header whose packed streams are the given bytes, then a few
// bytes of header.
std::vector<std::uint8_t> Archive(const std::vector<std::uint8_t>& streams) {
  std::vector<std::uint8_t> bytes(32 + streams.size() + 3, 1);
  for (int i = 0; i < 8; ++i) bytes[12 + i] = static_cast<std::uint8_t>(streams.size() >> (8 * i));
  std::copy(streams.begin(), streams.end(), bytes.begin() + 32);
  return bytes;
}

std::optional<std::uint64_t> Count(const std::vector<std::uint8_t>& archive) {
  return payload::CountLzma2Blocks([&](std::uint64_t offset, std::uint8_t* out, std::size_t count) {
    if (offset > archive.size() || count > archive.size() - offset) return false;
    std::copy(archive.begin() + static_cast<std::ptrdiff_t>(offset),
              archive.begin() + static_cast<std::ptrdiff_t>(offset + count), out);
    return true;
  });
}

TEST(Lzma2Blocks, CountsChunksThatResetTheDictionary) {
  // Stored chunk with reset (1 byte), LZMA chunk with reset and properties
  // (2 packed bytes), LZMA chunk without reset, end; then an LZMA header
  // stream, which begins with 0.
  const std::vector<std::uint8_t> stream = {0x01, 0, 0, 'a',  0xE0, 0, 0, 0, 1, 0x5D, 'x', 'y',
                                            0x80, 0, 0, 0, 0, 'z', 0xE0, 0, 0, 0, 0, 0x5D, 'w', 0x00,
                                            0x00, 0x12, 0x34};
  EXPECT_EQ(Count(Archive(stream)), 3u);
}

TEST(Lzma2Blocks, GivesNothingForOtherStreams) {
  const std::vector<std::vector<std::uint8_t>> cases = {
      {0x00, 0x41, 0x22},          // LZMA: its first byte is 0
      {0x80, 0, 0, 0, 0, 'z', 0},  // begins without a reset
      {0x01, 0, 5, 'a'},           // a chunk running past the archive
      {0x01, 0, 0, 'a'},           // no end of the stream
      {0x05, 1, 2},                // no LZMA2 control byte
  };
  for (const auto& streams : cases) EXPECT_FALSE(Count(Archive(streams))) << streams.size();
  EXPECT_FALSE(Count({'7', 'z'}));
}

}  // namespace
