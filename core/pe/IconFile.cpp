#include "core/pe/IconFile.h"

namespace kestlib {
namespace {

constexpr std::size_t kHeaderSize = 6;
constexpr std::size_t kFileEntrySize = 16;
constexpr std::size_t kGroupEntrySize = 14;

std::uint32_t U16(const std::uint8_t* d, std::size_t o) { return static_cast<std::uint32_t>(d[o] | d[o + 1] << 8); }
std::uint32_t U32(const std::uint8_t* d, std::size_t o) { return U16(d, o) | U16(d, o + 2) << 16; }

}  // namespace

std::optional<IconResources> ReadIconFile(const std::uint8_t* data, std::size_t size, std::uint16_t firstId) {
  if (size < kHeaderSize || U16(data, 0) != 0 || U16(data, 2) != 1) return std::nullopt;
  const std::size_t count = U16(data, 4);
  if (count == 0 || count > 0xFFFFu - firstId || kHeaderSize + count * kFileEntrySize > size) return std::nullopt;
  IconResources icon;
  // The group is the file's header and entries, each entry with the
  // resource id where the file has the image's offset.
  icon.group.assign(data, data + kHeaderSize);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t entry = kHeaderSize + i * kFileEntrySize;
    const std::uint64_t length = U32(data, entry + 8);
    const std::uint64_t offset = U32(data, entry + 12);
    if (length == 0 || offset > size || length > size - offset) return std::nullopt;
    icon.images.emplace_back(data + offset, data + offset + length);
    icon.group.insert(icon.group.end(), data + entry, data + entry + kGroupEntrySize - 2);
    const std::uint32_t id = firstId + static_cast<std::uint32_t>(i);
    icon.group.push_back(static_cast<std::uint8_t>(id));
    icon.group.push_back(static_cast<std::uint8_t>(id >> 8));
  }
  return icon;
}

}  // namespace kestlib
