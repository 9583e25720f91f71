#include "ConfigReview.h"

#include <algorithm>
#include <set>

#include <boost/locale/encoding_utf.hpp>

#include "FileIo.h"
#include "core/PathRules.h"
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
    case config::FindingKind::NotANumber:
    case config::FindingKind::SwitchValue: {
      const std::string setting = Narrow(f.name) + "=" + Narrow(f.value);
      const std::string reading = std::to_string(f.reading);
      const bool isSwitch = !config::NamesEqual(f.name, L"SetupShow");
      const std::string effect = isSwitch ? reading + (f.switchOn ? " (on)" : " (off)") : reading;
      if (f.kind == config::FindingKind::NotANumber)
        return setting + " is not a whole number; the installer reads it as " + effect + ". Write 0 or 1";
      return setting + ": the installer reads it as " + effect + "; write 0 or 1";
    }
    case config::FindingKind::UnknownCulture:
      return "culture \"" + Narrow(f.value) + "\" has no string table in the installer; it would show " +
             "English texts";
    case config::FindingKind::DuplicateKey:
      return "key " + name + " is given again (first on line " + std::to_string(f.firstLine) +
             "); the installer takes this last value";
    case config::FindingKind::DuplicateSection:
      return "section " + name + " is given again (first on line " + std::to_string(f.firstLine) +
             "); the installer joins both into one section";
    case config::FindingKind::EmptySetupFile:
      return "SetupFileName is empty; the installer would have no setup program to start";
    case config::FindingKind::IndentedComment: {
      const std::string reading = !f.name.empty()    ? "the key " + name
                                  : !f.value.empty() ? "the section header [" + Narrow(f.value) + "]"
                                                     : std::string("a line it ignores");
      return "blanks stand before the ';' of this comment, so the installer reads it as " + reading +
             "; put the ';' first on the line";
    }
    case config::FindingKind::IgnoredLine:
      break;
  }
  return "the installer ignores this line: it is neither key=value, a [section] header nor a ; comment";
}

const char* Code(config::FindingKind kind) {
  switch (kind) {
    case config::FindingKind::UnknownSection:
      return "unknown-section";
    case config::FindingKind::UnknownKey:
      return "unknown-key";
    case config::FindingKind::KeyOfOtherSection:
      return "key-of-other-section";
    case config::FindingKind::EntryOutsideSection:
      return "entry-outside-section";
    case config::FindingKind::NotANumber:
      return "not-a-number";
    case config::FindingKind::SwitchValue:
      return "switch-value";
    case config::FindingKind::UnknownCulture:
      return "unknown-culture";
    case config::FindingKind::DuplicateKey:
      return "duplicate-key";
    case config::FindingKind::DuplicateSection:
      return "duplicate-section";
    case config::FindingKind::EmptySetupFile:
      return "empty-setup-file";
    case config::FindingKind::IndentedComment:
      return "indented-comment";
    case config::FindingKind::IgnoredLine:
      break;
  }
  return "ignored-line";
}

}  // namespace

void ReviewConfigLines(const std::string& text, const std::filesystem::path& path, Warnings& warnings) {
  for (const config::Finding& f : config::CheckConfigLines(config::SplitConfigLines(Wide(text)))) {
    std::string message = "configuration " + Quoted(path) + " line " + std::to_string(f.line) + ": " + Describe(f);
    if (!f.suggestion.empty()) message += "; did you mean " + Narrow(f.suggestion) + "?";
    warnings.Add(Code(f.kind), message);
  }
}

void ReviewSetupFiles(const std::string& text, const PayloadPaths& payload, Warnings& warnings) {
  // Windows finds the file whatever the letter case.
  std::set<std::wstring> files, folders;
  for (const std::string& path : payload.files) files.insert(FileNameKey(Wide(path)));
  for (const std::string& path : payload.folders) folders.insert(FileNameKey(Wide(path)));
  auto holds = [&](const std::set<std::wstring>& set, const std::wstring& wanted) {
    return set.count(FileNameKey(wanted)) > 0;
  };
  ConfigStore store;
  store.Parse(Wide(text));
  for (const config::SetupTarget& target : config::SetupTargets(store)) {
    const std::wstring inside = config::PathInsideExtraction(target.value);
    const bool relative = target.value.find(L'[') == std::wstring::npos;
    if (inside.empty()) continue;
    if (holds(files, inside) || (relative && holds(files, L"product/" + inside))) continue;
    if (holds(folders, inside) || (relative && holds(folders, L"product/" + inside))) {
      warnings.Add("setup-file-is-folder",
                   Narrow(target.key) + " of [" + Narrow(target.section) + "] names \"" + Narrow(target.value) +
                   "\", which is a folder in the payload; the installer cannot start a folder");
      continue;
    }
    warnings.Add("setup-file-missing",
                 Narrow(target.key) + " of [" + Narrow(target.section) + "] names \"" + Narrow(target.value) +
                 "\", which the payload does not hold; the installer would fail with \"Path not found\"");
  }
}

}  // namespace sfxpack
