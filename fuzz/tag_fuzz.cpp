// The signature tag over hostile certificate tables: reading stays inside
// the bytes, and values set into a table that parses read back as given.
#include <cstdint>
#include <vector>

#include "core/handoff/SignatureTag.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  forwarded::Values values;
  const bool tagged = forwarded::ReadSignatureTag(data, size, values) == forwarded::TagResult::Read;
  const forwarded::Values given = tagged ? values : forwarded::Values{{u"order", u"A-17 & more"}};
  std::vector<std::uint8_t> table;
  if (forwarded::SetSignatureTag(data, size, given, table) == forwarded::TagError::None) {
    forwarded::Values again;
    if (forwarded::ReadSignatureTag(table.data(), table.size(), again) != forwarded::TagResult::Read ||
        again != given)
      __builtin_trap();
  }
  return 0;
}
