// The command line of sfxpack: commands, their options and the help text.
#pragma once

#include <filesystem>
#include <ostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sfxpack {

enum class Command { Help, Build, Inspect };

struct BuildOptions {
  std::filesystem::path stub;
  std::filesystem::path config;
  std::filesystem::path archive;  // exactly one of archive and folder
  std::filesystem::path folder;
  std::filesystem::path output;
  std::vector<std::pair<std::string, std::string>> slots;  // name, UTF-8 value; names unique
  std::optional<std::string> trailingData;  // the block's data text, UTF-8
};

struct Invocation {
  Command command = Command::Help;
  BuildOptions build;
  std::filesystem::path inspectFile;
};

// Arguments after the program name, in UTF-8. Throws UsageError.
Invocation ParseCommandLine(const std::vector<std::string>& args);

void PrintHelp(std::ostream& out);

}  // namespace sfxpack
