// The string table of an application: the texts of one culture, looked up
// by string id.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "kestlib/localization/IStringResourceLoader.h"

namespace kestlib {

class IStringResources {
 public:
  using LoaderPtr = std::shared_ptr<IStringResourceLoader>;
  using Loaders = std::vector<LoaderPtr>;

  virtual ~IStringResources() = default;
  // A null loader is ignored.
  virtual void AddLoader(const LoaderPtr& loader) = 0;
  virtual void ClearLoaders() = 0;
  virtual Loaders GetLoaders() const = 0;
  // The union of the loaders' cultures.
  virtual CultureSet GetAllCultures() const = 0;
  // Replaces the texts by those of culture; on failure the texts stay.
  virtual void Load(const std::wstring& culture) = 0;
  virtual void ClearStrings() = 0;
  virtual std::wstring GetCulture() const = 0;
  // Empty when the table lacks the id.
  virtual std::wstring GetString(const std::wstring& id) const = 0;
  virtual void SetString(const std::wstring& id, const std::wstring& text) = 0;
  virtual StringTable GetAllStrings() const = 0;

  // What every dialog and message shows.
  std::wstring GetText(const std::wstring& id) const { return GetString(id); }
  // For texts that must not come out empty, such as button labels.
  std::wstring GetTextOr(const std::wstring& id, const std::wstring& fallback) const {
    std::wstring text = GetString(id);
    return text.empty() ? fallback : text;
  }
};

}  // namespace kestlib
