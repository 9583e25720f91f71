#include "core/payload/Decoders.h"

#include <algorithm>

namespace payload {

const std::vector<Decoder>& Decoders() {
  static const std::vector<Decoder> decoders = {
      {0x0, "Copy"},       {0x3, "Delta"},          {0x3030103, "BCJ"},   {0x303011B, "BCJ2"},
      {0x3030205, "PPC"},  {0x3030401, "IA64"},     {0x3030501, "ARM"},   {0x3030701, "ARMT"},
      {0x3030805, "SPARC"}, {0xA, "ARM64"},         {0xB, "RISCV"},       {0x20302, "Swap2"},
      {0x20304, "Swap4"},  {0x30101, "LZMA"},       {0x21, "LZMA2"},      {0x30401, "PPMD"},
      {0x40202, "BZip2"},  {0x40108, "Deflate"},    {0x40109, "Deflate64"}, {0x6F10701, "7zAES"}};
  return decoders;
}

const Decoder* FindDecoder(std::string_view listedName) {
  const std::string_view name = listedName.substr(0, listedName.find(':'));
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 0x20) : c; };
  const auto same = [&](const Decoder& d) {
    return d.name.size() == name.size() &&
           std::equal(name.begin(), name.end(), d.name.begin(), [&](char a, char b) { return lower(a) == lower(b); });
  };
  const auto& all = Decoders();
  const auto it = std::find_if(all.begin(), all.end(), same);
  return it == all.end() ? nullptr : &*it;
}

}  // namespace payload
