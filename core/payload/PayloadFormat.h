// Layout of the payload behind the stub's image: start marker, enciphered
// configuration block, end marker, 7z archive. Shared by the stub and the
// builder; no Windows header, so it builds and tests on any machine.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace payload {

inline constexpr std::size_t kStartMarkerSize = 18;
inline constexpr std::size_t kEndMarkerSize = 15;
// The block and the end marker must lie in the first 20 MiB of the file.
inline constexpr std::uint32_t kBlockWindow = 0x1400000;
// The archive engine looks for the archive in the first 4 MiB only.
inline constexpr std::uint32_t kArchiveWindow = 0x400000;
inline constexpr std::size_t kCipherBlock = 16;
inline constexpr std::array<std::uint8_t, 6> k7zSignature = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};

using StartMarker = std::array<std::uint8_t, kStartMarkerSize>;
using EndMarker = std::array<std::uint8_t, kEndMarkerSize>;
using Key = std::array<std::uint8_t, 16>;
using Iv = std::array<std::uint8_t, kCipherBlock>;

// The markers are built at run time: the image must never hold them
// literally, or the scan would find the program's own copy first.
StartMarker MakeStartMarker();
EndMarker MakeEndMarker();

// The cipher key, assembled from words that never stand whole in the file.
Key MakeKey();

struct BlockRange {
  std::size_t offset;  // first byte of the block
  std::size_t length;  // never 0
};

// Finds the configuration block in the first bytes of a file (at most the
// 20 MiB window): the first start marker and the first end marker behind
// the block's first byte. Positions from size - 20 on are not scanned.
std::optional<BlockRange> FindConfigBlock(const std::uint8_t* data, std::size_t size);

// Deciphers a block (IV, then AES-128-CBC ciphertext) and strips the
// padding its last byte counts (at most 16). A block of 16 bytes or less,
// or whose ciphertext is not whole cipher blocks, gives an empty text.
std::string DecipherBlock(const std::uint8_t* block, std::size_t size);

// The inverse for the builder: pads with 1 to 16 bytes of the pad count.
std::vector<std::uint8_t> EncipherText(const std::string& plain, const Iv& iv);

// Offset of the first start marker or end marker in data, if any.
std::optional<std::size_t> FindAnyMarker(const std::uint8_t* data, std::size_t size);

}  // namespace payload
