// The installer's string table: table texts with [Name] placeholders
// filled from its properties (the product name).
#pragma once

#include <string>

#include "kestlib/localization/MemStringResources.h"
#include "core/localization/Placeholders.h"

namespace hvmsi {

class InstallStringResources : public kestlib::MemStringResources {
 public:
  // The stored text with placeholders expanded; undefined ones stay.
  std::wstring GetString(const std::wstring& id) const override;

  void SetProperty(const std::wstring& name, const std::wstring& value);

 private:
  kestlib::PropertyMap m_properties;
};

}  // namespace hvmsi
