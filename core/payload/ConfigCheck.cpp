#include "core/payload/ConfigCheck.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <map>
#include <optional>
#include <vector>

#include "core/PathRules.h"
#include "core/localization/Cultures.h"
#include "core/payload/ConfigKeys.h"

namespace config {
namespace {

namespace ck = configkeys;

wchar_t Folded(wchar_t c) { return static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c))); }

// Edits between the names, a swap of two neighbours counting as one.
std::size_t Distance(const std::wstring& a, const std::wstring& b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const bool same = Folded(a[i - 1]) == Folded(b[j - 1]);
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (same ? 0 : 1)});
      if (i > 1 && j > 1 && Folded(a[i - 1]) == Folded(b[j - 2]) && Folded(a[i - 2]) == Folded(b[j - 1]))
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[a.size()][b.size()];
}

// The closest candidate, when it is close enough to be a misspelling.
template <typename Names>
std::wstring Nearest(const std::wstring& name, const Names& candidates) {
  std::wstring best;
  std::size_t bestDistance = 4;
  for (const auto& known : candidates) {
    const std::wstring candidate = known;
    const std::size_t d = Distance(name, candidate);
    if (d < bestDistance && d * 2 < candidate.size()) {
      best = candidate;
      bestDistance = d;
    }
  }
  return best;
}

Finding Found(FindingKind kind, std::size_t line, const std::wstring& name, const std::wstring& suggestion = {},
              const std::wstring& value = {}, std::int32_t reading = 0) {
  Finding f{};
  f.kind = kind;
  f.line = line;
  f.name = name;
  f.suggestion = suggestion;
  f.value = value;
  f.reading = reading;
  return f;
}

struct NameLessFn {
  bool operator()(const std::wstring& a, const std::wstring& b) const { return NameLess(a, b); }
};

bool IsLanguageSection(const std::wstring& name) {
  const std::wstring prefix = ck::kLanguagePrefix;
  return name.size() > prefix.size() && NamesEqual(name.substr(0, prefix.size()), prefix);
}

bool Holds(const std::wstring& key, bool language) {
  auto matches = [&](const wchar_t* known) { return NamesEqual(key, known); };
  return language ? std::any_of(ck::kLanguageKeys.begin(), ck::kLanguageKeys.end(), matches)
                  : std::any_of(ck::kMainKeys.begin(), ck::kMainKeys.end(), matches);
}

// "main", or the language section the name seems meant to be.
std::wstring NearestSection(const std::wstring& name) {
  std::vector<std::wstring> candidates = {ck::kMain};
  const std::size_t separator = name.find_first_of(L"_- ");
  if (separator != std::wstring::npos && separator + 1 < name.size())
    candidates.push_back(ck::kLanguagePrefix + name.substr(separator + 1));
  return Nearest(name, candidates);
}

Finding CheckKey(const std::wstring& key, bool language, std::size_t number) {
  if (Holds(key, !language)) return Found(FindingKind::KeyOfOtherSection, number, key, {});
  return Found(FindingKind::UnknownKey, number, key,
                 language ? Nearest(key, ck::kLanguageKeys) : Nearest(key, ck::kMainKeys));
}

// How the installer takes a switch: on when equal to 1, or when not 0.
enum class SwitchRule { None, OnWhenOne, OnWhenNotZero };

struct IntegerKey {
  const wchar_t* key;
  SwitchRule rule;
};

constexpr IntegerKey kIntegerKeys[] = {
    {ck::kShowUnzipLanguageDlg, SwitchRule::OnWhenOne}, {ck::kExtractOnly, SwitchRule::OnWhenNotZero},
    {ck::kSfxProgressVisible, SwitchRule::OnWhenNotZero}, {ck::kSfxProgressPretty, SwitchRule::OnWhenOne},
    {ck::kForwardResourceData, SwitchRule::OnWhenOne},   {ck::kSetupShow, SwitchRule::None},
};

// The number the installer reads, as swscanf's "%d" does.
std::int32_t InstallerReading(const std::wstring& value) {
  int number = 0;
  return std::swscanf(value.c_str(), L"%d", &number) == 1 ? number : 0;
}

bool IsWholeNumber(const std::wstring& value) {
  std::size_t digits = value.find_first_not_of(L"+-") == 1 ? 1 : 0;
  if (value.size() == digits) return false;
  for (; digits < value.size(); ++digits)
    if (value[digits] < L'0' || value[digits] > L'9') return false;
  return value.size() < 10;  // beyond that it may not fit 32 bits
}

// A value that the installer reads differently from what it says.
std::optional<Finding> CheckValue(const ConfigLine& line, std::size_t number) {
  if (NamesEqual(line.key, ck::kSetupFileName) && line.value.empty())
    return Found(FindingKind::EmptySetupFile, number, line.key, {}, line.value);
  if (NamesEqual(line.key, ck::kCulture) && !line.value.empty() && !IsKnownCulture(line.value))
    return Found(FindingKind::UnknownCulture, number, line.key, {}, line.value);
  for (const IntegerKey& known : kIntegerKeys) {
    // An empty value keeps the default.
    if (!NamesEqual(line.key, known.key) || line.value.empty()) continue;
    Finding f = Found(FindingKind::NotANumber, number, line.key, {}, line.value, InstallerReading(line.value));
    f.switchOn = known.rule == SwitchRule::OnWhenOne ? f.reading == 1 : f.reading != 0;
    if (!IsWholeNumber(line.value)) return f;
    if (known.rule != SwitchRule::None && f.reading != 0 && f.reading != 1) {
      f.kind = FindingKind::SwitchValue;
      return f;
    }
  }
  return std::nullopt;
}

}  // namespace

std::vector<Finding> CheckConfigLines(const std::vector<ConfigLine>& lines) {
  std::vector<Finding> findings;
  enum class Section { None, Main, Language, Unknown } section = Section::None;
  // Where each section and each key of it was first given.
  std::map<std::wstring, std::size_t, NameLessFn> sectionLines;
  std::map<std::wstring, std::map<std::wstring, std::size_t, NameLessFn>, NameLessFn> keyLines;
  std::wstring current;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const ConfigLine& line = lines[i];
    const std::size_t number = i + 1;
    if (line.indentedComment) {
      // The name of what the installer makes of it; a header still counts.
      findings.push_back(Found(FindingKind::IndentedComment, number,
                               line.kind == LineKind::Entry ? line.key : std::wstring(), {},
                               line.kind == LineKind::Header ? line.section : std::wstring()));
      if (line.kind != LineKind::Header) continue;
    }
    if (line.kind == LineKind::Ignored) {
      findings.push_back(Found(FindingKind::IgnoredLine, number, {}, {}));
    } else if (line.kind == LineKind::Header) {
      current = line.section;
      const auto first = sectionLines.emplace(current, number);
      if (!first.second) {
        Finding f = Found(FindingKind::DuplicateSection, number, line.section);
        f.firstLine = first.first->second;
        findings.push_back(f);
      }
      if (NamesEqual(line.section, ck::kMain)) {
        section = Section::Main;
      } else if (IsLanguageSection(line.section)) {
        section = Section::Language;
        const std::wstring code = line.section.substr(std::wstring(ck::kLanguagePrefix).size());
        if (!IsKnownCulture(code))
          findings.push_back(Found(FindingKind::UnknownCulture, number, line.section, {}, code));
      } else {
        section = Section::Unknown;
        findings.push_back(Found(FindingKind::UnknownSection, number, line.section, NearestSection(line.section)));
      }
    } else if (line.kind == LineKind::Entry) {
      if (section == Section::None) {
        findings.push_back(Found(FindingKind::EntryOutsideSection, number, line.key, {}));
      } else if (section != Section::Unknown) {
        const bool language = section == Section::Language;
        if (!Holds(line.key, language))
          findings.push_back(CheckKey(line.key, language, number));
        else if (const auto value = CheckValue(line, number))
          findings.push_back(*value);
      }
      const auto first = keyLines[current].emplace(line.key, number);
      if (!first.second) {
        Finding f = Found(FindingKind::DuplicateKey, number, line.key);
        f.firstLine = first.first->second;
        findings.push_back(f);
      }
    }
  }
  return findings;
}

std::vector<SetupTarget> SetupTargets(const ConfigStore& store) {
  const std::wstring mainName = store.GetValue(ck::kMain, ck::kSetupFileName, ck::kDefaultSetupFileName);
  const std::wstring main64 = store.GetValue(ck::kMain, ck::kSetupFileName64, L"");
  std::vector<SetupTarget> targets = {{ck::kMain, ck::kSetupFileName, mainName}};
  if (!main64.empty()) targets.push_back({ck::kMain, ck::kSetupFileName64, main64});
  for (const std::wstring& section : store.GetSections()) {
    if (!IsLanguageSection(section)) continue;
    targets.push_back({section, ck::kSetupFileName, store.GetValue(section, ck::kSetupFileName, mainName)});
    const std::wstring name64 = store.GetValue(section, ck::kSetupFileName64, main64);
    if (!name64.empty()) targets.push_back({section, ck::kSetupFileName64, name64});
  }
  return targets;
}

std::wstring PathInsideExtraction(const std::wstring& setupFileName) {
  static const std::wstring kExtractDir = L"[ExtractDir]";
  std::wstring path = setupFileName;
  if (path.size() >= kExtractDir.size() && NamesEqual(path.substr(0, kExtractDir.size()), kExtractDir))
    path.erase(0, kExtractDir.size());
  else if (path.find(L'[') != std::wstring::npos || IsAbsolutePath(path))
    return {};
  // The installer hands the joined path to Windows, which reads repeated
  // separators as one, drops "." parts and lets ".." take back the part
  // before it.
  std::replace(path.begin(), path.end(), L'\\', L'/');
  std::vector<std::wstring> parts;
  for (std::size_t start = 0; start <= path.size();) {
    const std::size_t end = std::min(path.find(L'/', start), path.size());
    const std::wstring part = path.substr(start, end - start);
    if (part == L"..") {
      if (parts.empty()) return {};  // above the extraction folder
      parts.pop_back();
    } else if (!part.empty() && part != L".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::wstring inside;
  for (const std::wstring& part : parts) inside += (inside.empty() ? L"" : L"/") + part;
  return inside;
}

}  // namespace config
