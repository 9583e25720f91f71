#include "core/payload/ConfigLines.h"

#include <algorithm>
#include <cwctype>

#include <boost/algorithm/string/trim.hpp>

namespace config {
namespace {

bool IsSpace(wchar_t c) { return std::iswspace(static_cast<std::wint_t>(c)) != 0; }

std::wstring Trimmed(const std::wstring& s) { return boost::algorithm::trim_copy_if(s, IsSpace); }

wchar_t Folded(wchar_t c) { return static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c))); }

// Splits off the next line at CR, LF, CR LF or LF CR. Returns false when
// the line had no line end (it was the last one).
bool NextLine(const std::wstring& text, std::size_t& pos, std::wstring& line) {
  const std::size_t end = text.find_first_of(L"\r\n", pos);
  if (end == std::wstring::npos) {
    line.assign(text, pos, std::wstring::npos);
    pos = text.size();
    return false;
  }
  line.assign(text, pos, end - pos);
  pos = end + 1;
  if (pos < text.size() && (text[pos] == L'\r' || text[pos] == L'\n') && text[pos] != text[end]) ++pos;
  return true;
}

ConfigLine Classify(const std::wstring& line) {
  ConfigLine result;
  if (line.empty() || line[0] == L';') return result;
  const auto first = std::find_if_not(line.begin(), line.end(), IsSpace);
  result.indentedComment = first != line.end() && *first == L';';
  const std::size_t eq = line.find(L'=');
  if (eq != std::wstring::npos) {
    result.kind = LineKind::Entry;
    result.key = Trimmed(line.substr(0, eq));
    result.value = Trimmed(line.substr(eq + 1));
    if (!result.value.empty() && result.value.front() == L'"' && result.value.back() == L'"')
      result.value = result.value.size() == 1 ? std::wstring() : result.value.substr(1, result.value.size() - 2);
    return result;
  }
  const std::size_t open = line.find(L'[');
  const std::size_t close = line.rfind(L']');
  if (open != std::wstring::npos && close != std::wstring::npos && close > open) {
    result.kind = LineKind::Header;
    result.section = Trimmed(line.substr(open + 1, close - open - 1));
    return result;
  }
  result.kind = LineKind::Ignored;
  return result;
}

}  // namespace

std::vector<ConfigLine> SplitConfigLines(const std::wstring& text) {
  std::vector<ConfigLine> lines;
  std::wstring line;
  std::size_t pos = 0;
  bool more = !text.empty();
  while (more) {
    more = NextLine(text, pos, line);
    lines.push_back(Classify(line));
  }
  return lines;
}

bool NamesEqual(const std::wstring& a, const std::wstring& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](wchar_t x, wchar_t y) { return Folded(x) == Folded(y); });
}

bool NameLess(const std::wstring& a, const std::wstring& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](wchar_t x, wchar_t y) { return Folded(x) < Folded(y); });
}

}  // namespace config
