// The configuration parser and its getters over hostile text.
#include <cstdint>

#include "FuzzInput.h"
#include "core/payload/ConfigStore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ConfigStore store;
  store.Parse(fuzzinput::Wide(data, size));
  for (const std::wstring& section : store.GetSections()) {
    store.GetValue(section, L"SetupFileName", L"");
    store.GetInt(section, L"SetupShow", 1);
  }
  return 0;
}
