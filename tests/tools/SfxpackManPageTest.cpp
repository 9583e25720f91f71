// The manual page and the bash completion keep up with --help.
#include <gtest/gtest.h>

#include <cctype>
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

const std::pair<sfxpack::Command, std::string> kCommands[] = {{sfxpack::Command::Build, "build"},
                                                               {sfxpack::Command::Inspect, "inspect"},
                                                               {sfxpack::Command::Verify, "verify"},
                                                               {sfxpack::Command::Tag, "tag"}};

std::set<std::string> TableNames(sfxpack::Command command) {
  std::set<std::string> names;
  for (const sfxpack::OptionInfo& option : sfxpack::CommandOptions(command)) names.insert(option.name);
  return names;
}

std::set<std::string> Matches(const std::string& text, const std::regex& pattern) {
  std::set<std::string> found;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern); it != std::sregex_iterator(); ++it)
    found.insert(std::regex_replace((*it)[1].str(), std::regex(R"(\\-)"), "-"));
  return found;
}

TEST(ManPage, NamesEveryVariableOfTheHelp) {
  const std::string page = ReadText(SFXPACK_MAN_PAGE);
  ASSERT_FALSE(page.empty());
  for (const std::string& name : HelpNames()) {
    if (name.rfind("--", 0) == 0) continue;  // options: the test below
    EXPECT_NE(page.find(name), std::string::npos) << name;
  }
}

// Each command's section describes exactly the options of its table.
TEST(ManPage, DescribesEachCommandsOptionsInItsSection) {
  const std::string page = ReadText(SFXPACK_MAN_PAGE);
  for (const auto& [command, name] : kCommands) {
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::size_t start = page.find(".SH OPTIONS OF " + upper + "\n");
    std::string section;
    if (start != std::string::npos) section = page.substr(start, page.find("\n.SH ", start + 1) - start);
    EXPECT_EQ(Matches(section, std::regex(R"(\.TP\n\.B[IR]? (\\-\\-[a-z\\-]+))")), TableNames(command)) << name;
  }
}

TEST(BashCompletion, OffersEachCommandExactlyTheOptionsOfItsTable) {
  const std::string script = ReadText(SFXPACK_COMPLETION);
  for (const auto& [command, name] : kCommands) {
    std::smatch list;
    ASSERT_TRUE(std::regex_search(script, list, std::regex("_sfxpack_options_" + name + "='([^']*)'"))) << name;
    const std::string words = list[1].str();
    EXPECT_EQ(Matches(words, std::regex(R"((--[a-z-]+))")), TableNames(command)) << name;
  }
}

}  // namespace
