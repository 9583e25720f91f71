#include "setup/language/UserCulture.h"

#include <windows.h>

#include "core/localization/Cultures.h"

namespace {

// ISO names are at most 8 characters and the terminator.
constexpr int kNameLength = 9;

}  // namespace

std::wstring UserDefaultCulture() {
  const LCID lcid = MAKELCID(PreferredLanguageId(GetUserDefaultUILanguage(), GetUserDefaultLangID()), SORT_DEFAULT);
  wchar_t language[kNameLength] = {};
  wchar_t country[kNameLength] = {};
  if (GetLocaleInfoW(lcid, LOCALE_SISO639LANGNAME, language, kNameLength) == 0 ||
      GetLocaleInfoW(lcid, LOCALE_SISO3166CTRYNAME, country, kNameLength) == 0)
    return {};
  return std::wstring(language) + L"-" + country;
}
