// Culture codes ("de-DE", "zh-TW") and how the installer picks one of the
// languages its configuration offers in "LANG_" sections.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/payload/ConfigStore.h"

// Culture codes compare without regard to letter case.
struct CultureLess {
  bool operator()(const std::wstring& a, const std::wstring& b) const;
};

// The name of the language in that language; empty for a code not known.
std::wstring CultureDisplayName(const std::wstring& code);

// The culture whose texts serve a neutral or regional code ("de" is served
// by "de-DE", "zh-HK" by "zh-TW"); empty for a code not known.
std::wstring CanonicalCulture(const std::wstring& code);

// Whether one of the installer's string tables serves the code: a code it
// has texts for, or one of the same language ("de-AT" by "de-DE").
bool IsKnownCulture(const std::wstring& code);

// The codes to try, best first, for a preferred code (may be empty): the
// code itself, the culture that serves it, its language, then English.
std::vector<std::wstring> CultureFallbackList(const std::wstring& preferred);

// The first offered code, as written, that a candidate of the fallback
// list matches; empty when none does. A candidate with a region matches
// only itself; one without matches any code of its language with a region.
std::wstring FindBestCulture(const std::vector<std::wstring>& offered, const std::wstring& preferred);

// The language whose settings the user's culture is built from: the
// locale's, which carries the region, when it speaks the interface's
// language; the interface's otherwise.
std::uint16_t PreferredLanguageId(std::uint16_t interfaceLanguage, std::uint16_t localeLanguage);

// Offered code to its display name, in code order.
using CultureNames = std::map<std::wstring, std::wstring, CultureLess>;

struct LanguageChoice {
  bool found = false;
  CultureNames names;
  // Preselected: the best match for the preferred culture, else the first
  // section.
  std::wstring chosen;
};

// The languages of the configuration's "LANG_" sections and the one to
// preselect for the command line's culture or, without one, for the user's
// (asked only then).
LanguageChoice ScanLanguageSections(const ConfigStore& config, const std::wstring& cmdCulture,
                                    const std::function<std::wstring()>& userCulture);
