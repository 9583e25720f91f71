#include "core/handoff/PackageArguments.h"

#include <vector>

#include <boost/algorithm/string/predicate.hpp>

namespace {

// Own switches that take the next argument as their value and mean
// something else to msiexec: "/l FILE" and "/log FILE" name its log file.
constexpr const wchar_t* kWithheldSwitches[] = {L"l", L"log"};

struct Argument {
  std::size_t begin;  // where its leading blanks begin
  std::size_t start;
  std::size_t end;
  std::wstring text;  // as the program reads it
};

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::vector<Argument> SplitArguments(const std::wstring& line) {
  std::vector<Argument> arguments;
  std::size_t at = 0;
  while (true) {
    Argument argument{at, at, at, {}};
    while (at < line.size() && IsBlank(line[at])) ++at;
    if (at == line.size()) break;
    argument.start = at;
    bool quoted = false;
    while (at < line.size() && (quoted || !IsBlank(line[at]))) {
      std::size_t backslashes = 0;
      while (at < line.size() && line[at] == L'\\') ++backslashes, ++at;
      if (at < line.size() && line[at] == L'"') {
        argument.text.append(backslashes / 2, L'\\');
        if (backslashes % 2 == 1) {
          argument.text += L'"';
        } else if (quoted && at + 1 < line.size() && line[at + 1] == L'"') {
          argument.text += L'"';  // "" inside quotes is a quote
          ++at;
        } else {
          quoted = !quoted;
        }
        ++at;
      } else {
        argument.text.append(backslashes, L'\\');
        if (at < line.size() && (quoted || !IsBlank(line[at]))) argument.text += line[at++];
      }
    }
    argument.end = at;
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

bool IsWithheldSwitch(const std::wstring& text) {
  if (text.size() < 2 || (text[0] != L'/' && text[0] != L'-')) return false;
  for (const wchar_t* name : kWithheldSwitches)
    if (boost::algorithm::iequals(text.substr(1), name)) return true;
  return false;
}

}  // namespace

std::wstring TailForPackage(const std::wstring& tail) {
  const std::vector<Argument> arguments = SplitArguments(tail);
  std::wstring kept;
  bool removed = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (IsWithheldSwitch(arguments[i].text)) {
      removed = true;
      ++i;  // its value, whatever it looks like
      continue;
    }
    // Each argument kept keeps the blanks before it, except a new first one.
    const std::size_t from = kept.empty() ? arguments[i].start : arguments[i].begin;
    kept += tail.substr(from, arguments[i].end - from);
  }
  return removed ? kept : tail;
}
