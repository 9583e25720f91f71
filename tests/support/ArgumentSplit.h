// Splits a command line into arguments by the rules the C runtime and
// CommandLineToArgvW apply after the program name: blanks and tabs
// separate, quotes group, 2n backslashes before a quote give n and the
// quote groups, 2n + 1 give n and a literal quote, "" inside a group is a
// literal quote, other backslashes are literal. Header only: the tests and
// the fuzzers read quoted lines back with it.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

template <typename Char>
std::vector<std::basic_string<Char>> SplitArguments(const std::basic_string<Char>& line) {
  std::vector<std::basic_string<Char>> args;
  std::size_t i = 0;
  const std::size_t n = line.size();
  for (;;) {
    while (i < n && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i == n) return args;
    std::basic_string<Char> arg;
    bool grouped = false;
    while (i < n && (grouped || (line[i] != ' ' && line[i] != '\t'))) {
      std::size_t backslashes = 0;
      while (i < n && line[i] == '\\') ++backslashes, ++i;
      if (i < n && line[i] == '"') {
        arg.append(backslashes / 2, '\\');
        if (backslashes % 2) {
          arg += '"';
        } else if (grouped && i + 1 < n && line[i + 1] == '"') {
          arg += '"';
          ++i;
        } else {
          grouped = !grouped;
        }
        ++i;
      } else {
        arg.append(backslashes, '\\');
        if (i < n && (grouped || (line[i] != ' ' && line[i] != '\t'))) arg += line[i++];
      }
    }
    args.push_back(arg);
  }
}

}  // namespace testsupport
