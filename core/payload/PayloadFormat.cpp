#include "core/payload/PayloadFormat.h"

#include <algorithm>
#include <cstring>

#include "Aes.h"

namespace payload {
namespace {

// Copies of the markers with "," in place of ";".
constexpr char kStoredStart[] = ",!@Install@!UTF-8!";
constexpr char kStoredEnd[] = ",!@InstallEnd@!";
static_assert(sizeof(kStoredStart) - 1 == kStartMarkerSize);
static_assert(sizeof(kStoredEnd) - 1 == kEndMarkerSize);

template <std::size_t N>
std::array<std::uint8_t, N> Unmask(const char (&stored)[N + 1]) {
  std::array<std::uint8_t, N> marker{};
  std::memcpy(marker.data(), stored, N);
  marker[0] = ';';
  return marker;
}

// Round keys and chaining value for the engine's AES: 16-byte aligned.
struct alignas(16) AesState {
  UInt32 words[AES_NUM_IVMRK_WORDS];
};

void InitAesTables() {
  static const bool done = (AesGenTables(), true);
  (void)done;
}

}  // namespace

StartMarker MakeStartMarker() { return Unmask<kStartMarkerSize>(kStoredStart); }
EndMarker MakeEndMarker() { return Unmask<kEndMarkerSize>(kStoredEnd); }

Key MakeKey() {
  // Each key word is a mix of two stored words, so the key as a whole is
  // never a constant of the program.
  const std::uint32_t words[4] = {0x5e7a91c3u, 0x2b64d0f7u, 0x93c1e85au, 0x6f0b3d29u};
  Key key{};
  for (unsigned i = 0; i < 4; ++i) {
    const std::uint32_t next = words[(i + 1) % 4];
    const std::uint32_t w = words[i] ^ ((next << 13) | (next >> 19));
    for (unsigned b = 0; b < 4; ++b) key[i * 4 + b] = static_cast<std::uint8_t>(w >> (8 * b));
  }
  return key;
}

std::optional<BlockRange> FindConfigBlock(const std::uint8_t* data, std::size_t size) {
  if (size <= 20) return std::nullopt;
  const StartMarker start = MakeStartMarker();
  const EndMarker end = MakeEndMarker();
  const std::size_t limit = size - 20;  // last position scanned is limit - 1
  std::optional<std::size_t> blockStart;
  std::size_t o = 0;
  while (o < limit) {
    const void* hit = std::memchr(data + o, ';', limit - o);
    if (!hit) break;
    o = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - data);
    if (!blockStart) {
      if (std::memcmp(data + o, start.data(), start.size()) == 0) {
        blockStart = o + kStartMarkerSize;
        o = *blockStart + 1;  // the end marker is looked for from the block's second byte
        continue;
      }
    } else if (std::memcmp(data + o, end.data(), end.size()) == 0) {
      return BlockRange{*blockStart, o - *blockStart};
    }
    ++o;
  }
  return std::nullopt;
}

std::string DecipherBlock(const std::uint8_t* block, std::size_t size) {
  if (size <= kCipherBlock || (size - kCipherBlock) % kCipherBlock != 0) return {};
  InitAesTables();
  const Key key = MakeKey();
  AesState state;
  Aes_SetKey_Dec(state.words + 4, key.data(), static_cast<unsigned>(key.size()));
  AesCbc_Init(state.words, block);

  const std::size_t cipherSize = size - kCipherBlock;
  std::vector<AesState> buffer((cipherSize + sizeof(AesState) - 1) / sizeof(AesState));
  auto* plain = reinterpret_cast<std::uint8_t*>(buffer.data());
  std::memcpy(plain, block + kCipherBlock, cipherSize);
  g_AesCbc_Decode(state.words, plain, cipherSize / kCipherBlock);

  const std::size_t pad = std::min<std::size_t>(plain[cipherSize - 1], kCipherBlock);
  return std::string(reinterpret_cast<const char*>(plain), cipherSize - pad);
}

std::vector<std::uint8_t> EncipherText(const std::string& plain, const Iv& iv) {
  InitAesTables();
  const std::size_t pad = kCipherBlock - plain.size() % kCipherBlock;
  const std::size_t cipherSize = plain.size() + pad;
  std::vector<AesState> buffer((cipherSize + sizeof(AesState) - 1) / sizeof(AesState));
  auto* data = reinterpret_cast<std::uint8_t*>(buffer.data());
  std::memcpy(data, plain.data(), plain.size());
  std::memset(data + plain.size(), static_cast<int>(pad), pad);

  const Key key = MakeKey();
  AesState state;
  Aes_SetKey_Enc(state.words + 4, key.data(), static_cast<unsigned>(key.size()));
  AesCbc_Init(state.words, iv.data());
  AesCbc_Encode(state.words, data, cipherSize / kCipherBlock);

  std::vector<std::uint8_t> block(iv.begin(), iv.end());
  block.insert(block.end(), data, data + cipherSize);
  return block;
}

std::optional<std::size_t> FindAnyMarker(const std::uint8_t* data, std::size_t size) {
  const StartMarker start = MakeStartMarker();
  const EndMarker end = MakeEndMarker();
  for (std::size_t o = 0; o < size; ++o) {
    const void* hit = std::memchr(data + o, ';', size - o);
    if (!hit) break;
    o = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - data);
    const std::size_t left = size - o;
    if ((left >= start.size() && std::memcmp(data + o, start.data(), start.size()) == 0) ||
        (left >= end.size() && std::memcmp(data + o, end.data(), end.size()) == 0))
      return o;
  }
  return std::nullopt;
}

}  // namespace payload
