#include "core/localization/Cultures.h"

#include <algorithm>
#include <iterator>

#include <boost/algorithm/string/case_conv.hpp>
#include <boost/algorithm/string/predicate.hpp>
#include <boost/algorithm/string/trim.hpp>

namespace {

namespace ba = boost::algorithm;

struct CodeAndText {
  const wchar_t* code;
  const wchar_t* text;
};

// The Russian name begins with a Latin capital P, as the product has always
// shown it.
constexpr CodeAndText kDisplayNames[] = {
    {L"cs-CZ", L"Čeština (Česká republika)"}, {L"da-DK", L"Dansk (Danmark)"},
    {L"de-DE", L"Deutsch (Deutschland)"},     {L"en-GB", L"English (United Kingdom)"},
    {L"en-US", L"English (United States)"},   {L"en-CA", L"English (Canada)"},
    {L"en-II", L"English (international)"},   {L"es-ES", L"Español (España)"},
    {L"es-US", L"Español (Estados Unidos)"},  {L"el-GR", L"Ελληνικά (Ελλάδα)"},
    {L"fr-FR", L"Français (France)"},         {L"fr-CA", L"Français (Canada)"},
    {L"it-IT", L"Italiano (Italia)"},         {L"hu-HU", L"Magyar (Magyarország)"},
    {L"nl-NL", L"Nederlands (Nederland)"},    {L"nb-NO", L"Norsk, bokmål (Norge)"},
    {L"pl-PL", L"Polski (Polska)"},           {L"pt-PT", L"Português (Portugal)"},
    {L"pt-BR", L"Português (Brasil)"},        {L"ru-RU", L"Pусский (Россия)"},
    {L"sl-SI", L"Slovenski (Slovenija)"},     {L"fi-FI", L"Suomi (Suomi)"},
    {L"sv-SE", L"Svenska (Sverige)"},         {L"tr-TR", L"Türkçe (Türkiye)"},
    {L"ja-JP", L"日本語 (日本)"},             {L"ko-KR", L"한국어 (대한민국)"},
    {L"zh-CN", L"中文(简体)"},                {L"zh-TW", L"中文(繁體)"},
};

constexpr CodeAndText kCanonical[] = {
    {L"de", L"de-DE"},    {L"da", L"da-DK"},    {L"en", L"en-GB"},    {L"es", L"es-ES"},    {L"fr", L"fr-FR"},
    {L"it", L"it-IT"},    {L"nl", L"nl-NL"},    {L"no", L"nb-NO"},    {L"pt", L"pt-PT"},    {L"sv", L"sv-SE"},
    {L"zh-TW", L"zh-TW"}, {L"zh-HK", L"zh-TW"}, {L"zh-MO", L"zh-TW"}, {L"zh-CN", L"zh-CN"}, {L"zh-SG", L"zh-CN"},
};

template <std::size_t N>
std::wstring Lookup(const CodeAndText (&table)[N], const std::wstring& code) {
  for (const auto& row : table)
    if (ba::iequals(code, row.code)) return row.text;
  return {};
}

bool HasRegion(const std::wstring& code) {
  const std::size_t dash = code.find(L'-');
  return dash != std::wstring::npos && dash > 0;
}

constexpr wchar_t kSectionPrefix[] = L"LANG_";

}  // namespace

bool CultureLess::operator()(const std::wstring& a, const std::wstring& b) const {
  return ba::ilexicographical_compare(a, b);
}

std::wstring CultureDisplayName(const std::wstring& code) { return Lookup(kDisplayNames, code); }

std::wstring CanonicalCulture(const std::wstring& code) { return Lookup(kCanonical, code); }

bool IsKnownCulture(const std::wstring& code) {
  const std::wstring language = code.substr(0, code.find(L'-'));
  if (!CanonicalCulture(code).empty() || !CanonicalCulture(language).empty()) return true;
  return std::any_of(std::begin(kDisplayNames), std::end(kDisplayNames), [&](const CodeAndText& row) {
    const std::wstring known(row.code);
    return ba::iequals(known.substr(0, known.find(L'-')), language);
  });
}

std::vector<std::wstring> CultureFallbackList(const std::wstring& preferred) {
  std::vector<std::wstring> list;
  if (!preferred.empty()) list.push_back(preferred);
  const std::wstring language = ba::to_lower_copy(ba::trim_copy(preferred.substr(0, preferred.find(L'-'))));
  // English falls back to the English list below, not to a canonical one.
  if (!preferred.empty() && language != L"en") {
    std::wstring mapped = CanonicalCulture(preferred);
    if (mapped.empty()) mapped = CanonicalCulture(language);
    if (!mapped.empty() && !ba::iequals(mapped, preferred)) list.push_back(mapped);
    if (ba::iequals(mapped, L"zh-tw"))
      list.push_back(L"zh-Hant");
    else if (ba::iequals(mapped, L"zh-cn"))
      list.push_back(L"zh-Hans");
    list.push_back(language);
  }
  list.push_back(L"en-II");
  if (!ba::iequals(preferred, L"en-GB")) list.push_back(L"en-GB");
  if (!ba::iequals(preferred, L"en-US")) list.push_back(L"en-US");
  list.push_back(L"en");
  return list;
}

std::wstring FindBestCulture(const std::vector<std::wstring>& offered, const std::wstring& preferred) {
  for (const std::wstring& candidate : CultureFallbackList(preferred)) {
    const bool region = HasRegion(candidate);
    for (const std::wstring& code : offered) {
      if (region ? ba::iequals(code, candidate) : ba::istarts_with(code, candidate + L"-")) return code;
    }
  }
  return {};
}

std::uint16_t PreferredLanguageId(std::uint16_t interfaceLanguage, std::uint16_t localeLanguage) {
  return (interfaceLanguage & 0xFF) == (localeLanguage & 0xFF) ? localeLanguage : interfaceLanguage;
}

LanguageChoice ScanLanguageSections(const ConfigStore& config, const std::wstring& cmdCulture,
                                    const std::function<std::wstring()>& userCulture) {
  LanguageChoice choice;
  std::vector<std::wstring> offered;
  for (const std::wstring& section : config.GetSections()) {
    if (!ba::istarts_with(section, kSectionPrefix)) continue;
    const std::wstring code = section.substr(std::size(kSectionPrefix) - 1);
    offered.push_back(code);
    choice.names[code] = CultureDisplayName(code);
  }
  if (offered.empty()) return choice;
  choice.found = true;
  choice.chosen = FindBestCulture(offered, cmdCulture.empty() ? userCulture() : cmdCulture);
  if (choice.chosen.empty()) choice.chosen = offered.front();
  return choice;
}
