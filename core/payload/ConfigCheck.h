// The build-time check of a configuration: what the installer would pass
// over silently, and the setup programs it would look for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/payload/ConfigLines.h"
#include "core/payload/ConfigStore.h"

namespace config {

enum class FindingKind {
  UnknownSection,       // neither "main" nor "LANG_" plus a culture code
  UnknownKey,           // no key of its section
  KeyOfOtherSection,    // a key of "main" in a language section or the reverse
  EntryOutsideSection,  // before the first header: no section reads it
  IgnoredLine,          // neither entry, header nor comment
  NotANumber,           // an integer key whose value is no whole number
  SwitchValue,          // a switch given a number other than 0 and 1
  UnknownCulture,       // "Culture" or a "LANG_" section no string table knows
  DuplicateKey,         // given again in its section: the last value wins
  DuplicateSection,     // given again: both parts form one section
  EmptySetupFile,       // "SetupFileName" given empty: no program to start
  IndentedComment,      // blanks before ";": read as an entry, a header or ignored
};

struct Finding {
  FindingKind kind;
  std::size_t line;        // counted from 1
  std::wstring name;       // the section or key as written
  std::wstring suggestion; // the nearest known name, or empty
  std::wstring value;      // the value as written, for value findings
  std::int32_t reading = 0;  // what the installer reads a number as
  bool switchOn = false;     // for a switch: whether the installer takes it as on
  std::size_t firstLine = 0; // for a duplicate: where it was first given
};

std::vector<Finding> CheckConfigLines(const std::vector<ConfigLine>& lines);

struct SetupTarget {
  std::wstring section;  // where the value was found, "main" for the defaults
  std::wstring key;      // SetupFileName or SetupFileName64
  std::wstring value;
};

// The programs that a run may start: "SetupFileName" (with its default) and
// a non-empty "SetupFileName64" for "main" and for each language section,
// resolved as the installer resolves them.
std::vector<SetupTarget> SetupTargets(const ConfigStore& store);

// The path inside the extraction folder that a setup file name names, with
// "/" between its parts, as Windows resolves it; empty when it names a
// place outside (an absolute path, a folder reference other than
// "[ExtractDir]", a ".." above the folder).
std::wstring PathInsideExtraction(const std::wstring& setupFileName);

}  // namespace config
