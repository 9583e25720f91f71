#include "ConfigReview.h"

#include <algorithm>

#include <boost/locale/encoding_utf.hpp>

#include "FileIo.h"
#include "core/payload/ConfigCheck.h"
#include "core/payload/ConfigStore.h"

namespace sfxpack {
namespace {

std::wstring Wide(const std::string& text) { return boost::locale::conv::utf_to_utf<wchar_t>(text); }
std::string Narrow(const std::wstring& text) { return boost::locale::conv::utf_to_utf<char>(text); }

std::string Describe(const config::Finding& f) {
  const std::string name = "\"" + Narrow(f.name) + "\"";
  switch (f.kind) {
    case config::FindingKind::UnknownSection:
      return "unknown section " + name + ": the installer reads only [main] and [LANG_<culture>]";
    case config::FindingKind::UnknownKey:
      return "unknown key " + name + " is ignored by the installer";
    case config::FindingKind::KeyOfOtherSection:
      return "key " + name + " is not read in this section (the installer reads it only in " +
             "[main] or only in [LANG_<culture>] sections)";
    case config::FindingKind::EntryOutsideSection:
      return "key " + name + " stands before the first section header; no section reads it";
    case config::FindingKind::IgnoredLine:
      break;
  }
  return "the installer ignores this line: it is neither key=value, a [section] header nor a ; comment";
}

}  // namespace

void ReviewConfigLines(const std::string& text, const std::filesystem::path& path, Warnings& warnings) {
  for (const config::Finding& f : config::CheckConfigLines(config::SplitConfigLines(Wide(text)))) {
    std::string message = "configuration " + Quoted(path) + " line " + std::to_string(f.line) + ": " + Describe(f);
    if (!f.suggestion.empty()) message += "; did you mean " + Narrow(f.suggestion) + "?";
    warnings.Add(message);
  }
}

void ReviewSetupFiles(const std::string& text, const std::vector<std::string>& payloadPaths,
                      Warnings& warnings) {
  std::vector<std::wstring> paths;
  for (const std::string& path : payloadPaths) paths.push_back(Wide(path));
  // Windows finds the file whatever the letter case.
  auto holds = [&](const std::wstring& wanted) {
    return std::any_of(paths.begin(), paths.end(),
                       [&](const std::wstring& path) { return config::NamesEqual(path, wanted); });
  };
  ConfigStore store;
  store.Parse(Wide(text));
  for (const config::SetupTarget& target : config::SetupTargets(store)) {
    const std::wstring inside = config::PathInsideExtraction(target.value);
    if (inside.empty()) continue;
    const bool relative = target.value.find(L'[') == std::wstring::npos;
    if (holds(inside) || (relative && holds(L"product/" + inside))) continue;
    warnings.Add(Narrow(target.key) + " of [" + Narrow(target.section) + "] names \"" + Narrow(target.value) +
                 "\", which the payload does not hold; the installer would fail with \"Path not found\"");
  }
}

}  // namespace sfxpack
