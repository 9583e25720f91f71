#include "core/pe/HybridCode.h"

namespace kestlib {
namespace {

constexpr unsigned kDirectoryLoadConfig = 10;
// In the 64-bit load configuration: its own size first, and the address of
// the hybrid metadata at this offset.
constexpr std::uint32_t kHybridMetadataField = 200;
constexpr std::uint32_t kHybridMetadataEnd = kHybridMetadataField + 8;

std::uint64_t ReadLe(const std::uint8_t* at, unsigned count) {
  std::uint64_t value = 0;
  for (unsigned i = count; i-- > 0;) value = value << 8 | at[i];
  return value;
}

}  // namespace

HybridCode FindHybridCode(const std::uint8_t* data, std::size_t size, const PeImage& image) {
  if (image.magic != kPe32PlusMagic) return HybridCode::None;
  const DataDirectory config = GetDirectory(image, kDirectoryLoadConfig);
  if (config.address == 0 || config.size < kHybridMetadataEnd) return HybridCode::None;
  const auto offset = RvaToOffset(image, config.address, kHybridMetadataEnd);
  if (!offset || std::uint64_t{*offset} + kHybridMetadataEnd > size) return HybridCode::None;
  if (ReadLe(data + *offset, 4) < kHybridMetadataEnd) return HybridCode::None;
  if (ReadLe(data + *offset + kHybridMetadataField, 8) == 0) return HybridCode::None;
  if (image.machine == kMachineAmd64) return HybridCode::Arm64EC;
  if (image.machine == kMachineArm64) return HybridCode::Arm64X;
  return HybridCode::None;
}

}  // namespace kestlib
