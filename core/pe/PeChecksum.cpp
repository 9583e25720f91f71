#include "core/pe/PeChecksum.h"

namespace kestlib {

void PeChecksum::Add(const std::uint8_t* data, std::size_t size) {
  std::size_t i = 0;
  // A byte left over from the last piece is the high half of its word.
  if (length_ % 2 && size) sum_ += static_cast<std::uint64_t>(data[i++]) << 8;
  // Whole words in a plain loop, which compilers vectorize: a 64-bit sum
  // of 16-bit words cannot overflow for any file a PE image can be.
  std::uint64_t words = 0;
  for (; size - i >= 2; i += 2) words += static_cast<std::uint32_t>(data[i] | data[i + 1] << 8);
  if (i < size) words += data[i];
  sum_ += words;
  sum_ = (sum_ & 0xFFFF) + (sum_ >> 16);
  length_ += size;
}

std::uint32_t PeChecksum::Finish() const {
  std::uint64_t sum = sum_;
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint32_t>(sum + length_);
}

}  // namespace kestlib
