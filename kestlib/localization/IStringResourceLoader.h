// The in-memory form of a string table and the source it is loaded from.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <unordered_map>

#include <boost/algorithm/string/compare.hpp>
#include <boost/range/algorithm/lexicographical_compare.hpp>

namespace kestlib {

// Orders strings without regard to letter case, as culture codes compare.
template <typename Ch>
struct basic_string_iless {
  bool operator()(const std::basic_string<Ch>& left, const std::basic_string<Ch>& right) const {
    return boost::range::lexicographical_compare(left, right, boost::algorithm::is_iless());
  }
};

// Texts by string id; ids compare exactly.
using StringTable = std::unordered_map<std::wstring, std::wstring>;
using CultureSet = std::set<std::wstring, basic_string_iless<wchar_t>>;

class IStringResourceLoader {
 public:
  virtual ~IStringResourceLoader() = default;
  // The cultures that this loader has tables for.
  virtual CultureSet GetAllCultures() const = 0;
  // Adds the texts of culture (may be empty) to table, replacing texts of
  // the same id.
  virtual void Load(StringTable* table, const std::wstring& culture) = 0;
};

}  // namespace kestlib
