#include "hvmsi/InstallStringResources.h"

namespace hvmsi {

std::wstring InstallStringResources::GetString(const std::wstring& id) const {
  return kestlib::ExpandPlaceholders(MemStringResources::GetString(id), m_properties);
}

void InstallStringResources::SetProperty(const std::wstring& name, const std::wstring& value) {
  m_properties[name] = value;
}

}  // namespace hvmsi
