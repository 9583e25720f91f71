// The command line of sfxpack: commands, their options and the help text.
#pragma once

#include <filesystem>
#include <ostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Branding.h"

namespace sfxpack {

enum class Command { Help, Version, Build, Inspect, Verify, Tag };

struct BuildOptions {
  std::filesystem::path stub;               // empty: the installed stub of arch
  std::optional<std::string> arch;          // "x86" or "x64"
  std::filesystem::path config;
  std::filesystem::path archive;  // exactly one of archive and folder
  std::filesystem::path folder;
  std::filesystem::path output;
  std::vector<std::pair<std::string, std::string>> slots;  // name, UTF-8 value; names unique
  std::optional<std::string> trailingData;  // the block's data text, UTF-8
  std::optional<int> level;                 // 7-Zip's -mx for --folder
  std::optional<int> threads;               // 7-Zip's -mmt for --folder
  bool progress = false;                    // also when stderr is no terminal
  bool strict = false;                      // warnings fail the build
  bool reproducible = false;                // also when SOURCE_DATE_EPOCH is set
  bool followLinks = false;                 // --folder's links packed as what they name
  bool json = false;                        // the result as JSON on stdout
  bool quiet = false;                       // errors only
  Branding branding;
};

struct InspectOptions {
  std::filesystem::path file;
  bool json = false;
  bool list = false;  // the archive's items, through 7-Zip
};

struct TagOptions {
  std::filesystem::path file;
  std::vector<std::pair<std::string, std::string>> values;  // name, UTF-8 value; names unique
  std::filesystem::path output;  // empty with inPlace
  bool inPlace = false;
};

struct Invocation {
  Command command = Command::Help;
  Command helpFor = Command::Help;  // the command whose help is asked for
  BuildOptions build;
  InspectOptions inspect;  // verify's file too
  TagOptions tag;
};

// A row of a command's option table.
struct OptionInfo {
  const char* name;   // "--stub"
  const char* value;  // "FILE"; nullptr for a switch
  const char* help;
};

// The options of command, from the table its parser reads.
std::vector<OptionInfo> CommandOptions(Command command);

// Arguments after the program name, in UTF-8. Throws UsageError.
Invocation ParseCommandLine(const std::vector<std::string>& args);

// The usage of command, or of every command for Command::Help.
void PrintHelp(std::ostream& out, Command command = Command::Help);

// The program's version, as --version prints it.
const char* SfxpackVersion();

}  // namespace sfxpack
