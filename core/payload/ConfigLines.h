// The lines of a configuration text as the store reads them: split at CR,
// LF, CR LF and LF CR, each one an entry, a section header or skipped.
#pragma once

#include <string>
#include <vector>

namespace config {

enum class LineKind {
  Skipped,  // empty, or ";" as its very first character
  Entry,    // holds "=": key and value, trimmed, the value unquoted
  Header,   // "[" with a later "]" and no "=": section, trimmed
  Ignored,  // anything else; the store passes over it silently
};

struct ConfigLine {
  LineKind kind = LineKind::Skipped;
  std::wstring key;
  std::wstring value;
  std::wstring section;
  // Blanks, then ";": the store reads the line as any other, so a comment
  // holding "=" is an entry and one holding "[...]" a header.
  bool indentedComment = false;
};

// Every line of text in order; an empty text has none.
std::vector<ConfigLine> SplitConfigLines(const std::wstring& text);

// Names of sections and keys compare as the store compares them: after
// case folding, character by character.
bool NamesEqual(const std::wstring& a, const std::wstring& b);
bool NameLess(const std::wstring& a, const std::wstring& b);

}  // namespace config
