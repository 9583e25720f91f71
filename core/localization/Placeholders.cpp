#include "core/localization/Placeholders.h"

#include <boost/regex.hpp>

namespace kestlib {

std::wstring ExpandPlaceholders(const std::wstring& text, const PropertyMap& properties) {
  static const boost::wregex pattern(L"\\[([_a-zA-Z][_\\.a-zA-Z0-9]*?)\\]");
  std::wstring result;
  auto position = text.cbegin();
  for (boost::wsregex_iterator match(text.cbegin(), text.cend(), pattern), end; match != end; ++match) {
    result.append(position, (*match)[0].first);
    const auto found = properties.find((*match)[1].str());
    result += found != properties.end() ? found->second : (*match)[0].str();
    position = (*match)[0].second;
  }
  result.append(position, text.cend());
  return result;
}

}  // namespace kestlib
