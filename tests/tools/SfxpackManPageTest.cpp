// The manual page and the bash completion keep up with --help.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>

#include "CommandLine.h"

namespace {

std::string ReadText(const char* path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The options and variables that --help names.
std::set<std::string> HelpNames() {
  std::ostringstream help;
  sfxpack::PrintHelp(help);
  const std::string text = help.str();
  const std::regex name("--[a-z][a-z-]*[a-z]|\\b(SFXPACK|SOURCE)_[A-Z_]+");
  std::set<std::string> names;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), name); it != std::sregex_iterator(); ++it)
    names.insert(it->str());
  names.erase("--option");  // "also as --option=VALUE" stands for them all
  return names;
}

TEST(ManPage, NamesEveryOptionAndVariableOfTheHelp) {
  const std::string page = ReadText(SFXPACK_MAN_PAGE);
  ASSERT_FALSE(page.empty());
  for (const std::string& name : HelpNames()) {
    // roff writes a hyphen as \-.
    const std::string escaped = std::regex_replace(name, std::regex("-"), "\\-");
    EXPECT_NE(page.find(escaped), std::string::npos) << name;
  }
}

TEST(BashCompletion, OffersEveryOptionOfTheHelp) {
  const std::string script = ReadText(SFXPACK_COMPLETION);
  ASSERT_FALSE(script.empty());
  for (const std::string& name : HelpNames()) {
    // A whole word: --arch is not --archive.
    if (name.rfind("--", 0) == 0) {
      EXPECT_TRUE(std::regex_search(script, std::regex(name + "(?![a-z-])"))) << name;
    }
  }
}

}  // namespace
