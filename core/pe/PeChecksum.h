// The checksum of the PE optional header (what Windows's CheckSumMappedFile
// computes): the file's 16-bit little-endian words summed with end-around
// carry, the checksum field counting as zero, plus the file's length. It
// can be fed in pieces of any size, as a file is written.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kestlib {

// The field's offset from the optional header, for PE32 and PE32+ alike.
inline constexpr std::uint32_t kChecksumFieldOffset = 64;

class PeChecksum {
 public:
  // The checksum field must hold zeros in the bytes fed.
  void Add(const std::uint8_t* data, std::size_t size);
  std::uint32_t Finish() const;

 private:
  std::uint64_t sum_ = 0;
  std::uint64_t length_ = 0;
};

}  // namespace kestlib
