// The string table held in memory, filled by its loaders.
#pragma once

#include <string>

#include "kestlib/localization/IStringResources.h"

namespace kestlib {

class MemStringResources : public IStringResources {
 public:
  void AddLoader(const LoaderPtr& loader) override;
  void ClearLoaders() override;
  Loaders GetLoaders() const override;
  // Fails when there is no loader.
  CultureSet GetAllCultures() const override;
  // Asks every loader in order, later ones replacing texts of earlier ones.
  // Does nothing when texts of this very culture are loaded; fails when
  // there is no loader.
  void Load(const std::wstring& culture) override;
  void ClearStrings() override;
  std::wstring GetCulture() const override;
  std::wstring GetString(const std::wstring& id) const override;
  void SetString(const std::wstring& id, const std::wstring& text) override;
  StringTable GetAllStrings() const override;

 private:
  Loaders m_loaders;
  StringTable m_strings;
  std::wstring m_culture;
};

}  // namespace kestlib
