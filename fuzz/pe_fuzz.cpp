// The PE reader over hostile bytes (PE32 and PE32+): headers, sections,
// directories and the resource tree; whatever it locates lies inside the
// bytes, and a rewritten resource section gives an image that reads again.
#include <cstdint>

#include "core/pe/PeImage.h"
#include "core/pe/ResourceSection.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kestlib::PeImage image;
  if (kestlib::ParsePeImage(data, size, image) != kestlib::PeError::None) return 0;
  kestlib::ImageEnd(image);
  kestlib::CertificateTable(image);
  for (unsigned index = 0; index < 16; ++index) {
    const kestlib::DataDirectory directory = kestlib::GetDirectory(image, index);
    kestlib::RvaToOffset(image, directory.address, directory.size);
  }
  for (const auto& name : kestlib::ListResourceNames(data, size, image, kestlib::kResourceTypeRcdata)) {
    const auto location = kestlib::LocateResource(data, size, image, kestlib::kResourceTypeRcdata, name);
    if (location && std::uint64_t(location->offset) + location->size > size) __builtin_trap();
  }
  if (const auto resources = kestlib::ReadResources(data, size)) {
    if (const auto rewritten = kestlib::ReplaceResources(data, size, *resources)) {
      kestlib::PeImage again;
      if (kestlib::ParsePeImage(rewritten->data(), rewritten->size(), again) != kestlib::PeError::None ||
          kestlib::ImageEnd(again) != rewritten->size())
        __builtin_trap();
    }
  }
  return 0;
}
