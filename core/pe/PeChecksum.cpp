#include "core/pe/PeChecksum.h"

namespace kestlib {

void PeChecksum::Add(const std::uint8_t* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i, ++length_) {
    // The byte's place in its word follows its offset in the file.
    sum_ += length_ % 2 ? static_cast<std::uint64_t>(data[i]) << 8 : data[i];
    // Folding often keeps the sum far from overflow.
    if ((length_ & 0xFFFF) == 0xFFFF) sum_ = (sum_ & 0xFFFF) + (sum_ >> 16);
  }
}

std::uint32_t PeChecksum::Finish() const {
  std::uint64_t sum = sum_;
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint32_t>(sum + length_);
}

}  // namespace kestlib
