// The payload locator and the decipher over hostile file bytes.
#include <cstdint>

#include "core/payload/PayloadFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (const auto block = payload::FindConfigBlock(data, size)) {
    if (block->offset + block->length > size) __builtin_trap();
    payload::DecipherBlock(data + block->offset, block->length);
  }
  payload::DecipherBlock(data, size);
  payload::FindAnyMarker(data, size);
  return 0;
}
