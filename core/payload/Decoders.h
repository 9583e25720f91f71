// The coders the installer's engine registers: every method and filter
// that 7-Zip writes into a 7z archive. The builder refuses an archive that
// uses another one, and a test of the stub holds its engine to this list.
// No Windows header.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace payload {

struct Decoder {
  std::uint64_t id;       // the 7z method id
  std::string_view name;  // the engine's name, as 7-Zip lists it
};

const std::vector<Decoder>& Decoders();

// The decoder of the name 7-Zip lists for a coder ("LZMA2:24" is LZMA2,
// letter case aside); nullptr when the installer has none.
const Decoder* FindDecoder(std::string_view listedName);

}  // namespace payload
