// [Name] placeholders in texts and configuration values.
#pragma once

#include <map>
#include <string>

namespace kestlib {

// Values of placeholders by name; names compare case-sensitively.
using PropertyMap = std::map<std::wstring, std::wstring>;

// Replaces every [Name] whose name is in the map by its value. A name
// begins with a letter or "_" and goes on with letters, digits, "_" and
// "."; placeholders the map lacks stay as written, and inserted values are
// not expanded again.
std::wstring ExpandPlaceholders(const std::wstring& text, const PropertyMap& properties);

}  // namespace kestlib
