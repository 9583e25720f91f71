// Turns fuzzer bytes into the texts the core reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzzinput {

// Pairs of bytes as UTF-16 code units, little-endian; an odd last byte is dropped.
inline std::u16string Utf16(const std::uint8_t* data, std::size_t size) {
  std::u16string text(size / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
  return text;
}

// The same units widened, as the stub holds its texts.
inline std::wstring Wide(const std::uint8_t* data, std::size_t size) {
  const std::u16string units = Utf16(data, size);
  return std::wstring(units.begin(), units.end());
}

}  // namespace fuzzinput
