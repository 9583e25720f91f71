#include "kestlib/localization/MemStringResources.h"

#include <stdexcept>

#include <boost/assert/source_location.hpp>
#include <boost/current_function.hpp>
#include <boost/throw_exception.hpp>

// The raising location with the function's full signature.
#define KESTLIB_HERE ::boost::source_location(__FILE__, __LINE__, BOOST_CURRENT_FUNCTION)

namespace kestlib {

void MemStringResources::AddLoader(const LoaderPtr& loader) {
  if (loader) m_loaders.push_back(loader);
}

void MemStringResources::ClearLoaders() { m_loaders.clear(); }

IStringResources::Loaders MemStringResources::GetLoaders() const { return m_loaders; }

CultureSet MemStringResources::GetAllCultures() const {
  if (m_loaders.empty()) {
    boost::throw_exception(std::runtime_error("Cannot get available cultures: No resource loader defined"),
                           KESTLIB_HERE);
  }
  CultureSet cultures;
  for (const auto& loader : m_loaders) cultures.merge(loader->GetAllCultures());
  return cultures;
}

void MemStringResources::Load(const std::wstring& culture) {
  if (!m_strings.empty() && culture == m_culture) return;
  if (m_loaders.empty()) {
    boost::throw_exception(std::runtime_error("Cannot load string resources: No resource loader defined"),
                           KESTLIB_HERE);
  }
  // A loader that fails part way must not leave a mix of two cultures.
  StringTable loaded;
  for (const auto& loader : m_loaders) loader->Load(&loaded, culture);
  m_strings.swap(loaded);
  m_culture = culture;
}

void MemStringResources::ClearStrings() { m_strings.clear(); }

std::wstring MemStringResources::GetCulture() const { return m_culture; }

std::wstring MemStringResources::GetString(const std::wstring& id) const {
  const auto found = m_strings.find(id);
  return found != m_strings.end() ? found->second : std::wstring();
}

void MemStringResources::SetString(const std::wstring& id, const std::wstring& text) { m_strings[id] = text; }

StringTable MemStringResources::GetAllStrings() const { return m_strings; }

}  // namespace kestlib
