// The trailing block, its data, slot values and the file-name identifier
// over hostile bytes; encoded values must read back as they were.
#include <cstdint>
#include <string_view>

#include "FuzzInput.h"
#include "core/handoff/ForwardedDataFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  forwarded::Values values;
  if (forwarded::ParseTrailingBlock(data, size, values) == forwarded::BlockResult::Read) {
    forwarded::SetupValuesText(values);
    forwarded::Values again;
    if (!forwarded::ParseBlockData(forwarded::EncodeBlockData(values), again) || again != values)
      __builtin_trap();
  }
  forwarded::ParseBlockData(fuzzinput::Utf16(data, size), values);
  forwarded::SlotText(data, size);
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  forwarded::FileNameIdentifier(text);
  if (forwarded::IsUtf8(text) && forwarded::Utf8FromUtf16(forwarded::Utf16FromUtf8(text)) != text) __builtin_trap();
  return 0;
}
