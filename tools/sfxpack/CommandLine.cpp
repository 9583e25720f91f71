#include "CommandLine.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <utility>

#include <boost/locale/encoding_utf.hpp>

#include "Errors.h"
#include "StubImage.h"

namespace sfxpack {
namespace {

// A row of a command's option table, read by the parser and the help.
template <typename Options>
struct Option {
  const char* name;
  const char* value;  // nullptr for a switch
  const char* help;
  void (*store)(Options& options, const std::string& value, const std::string& name);
};

// Stores the value of an option that names a file or folder; each such
// option may appear once.
template <typename Options, std::filesystem::path Options::*Field>
void StorePath(Options& options, const std::string& value, const std::string& name) {
  std::filesystem::path& target = options.*Field;
  if (!target.empty()) throw UsageError(name + " is given more than once");
  if (value.empty()) throw UsageError(name + " needs a non-empty value");
  target = std::filesystem::u8path(value);
}

// NAME=VALUE, once per name: --slot and tag's --value.
void StorePair(std::vector<std::pair<std::string, std::string>>& pairs, const std::string& value,
               const std::string& name) {
  const std::size_t equals = value.find('=');
  if (equals == std::string::npos || equals == 0)
    throw UsageError(name + " needs NAME=VALUE, not \"" + value + "\"");
  std::string key = value.substr(0, equals);
  for (const auto& given : pairs)
    if (given.first == key) throw UsageError(name + " " + key + " is given more than once");
  pairs.emplace_back(std::move(key), value.substr(equals + 1));
}

void StoreTrailingData(BuildOptions& options, const std::string& value, const std::string& name) {
  if (options.trailingData) throw UsageError(name + " is given more than once");
  options.trailingData = value;
}

template <std::filesystem::path Branding::*Field>
void StoreBrandingPath(BuildOptions& options, const std::string& value, const std::string& name) {
  std::filesystem::path& target = options.branding.*Field;
  if (!target.empty()) throw UsageError(name + " is given more than once");
  if (value.empty()) throw UsageError(name + " needs a non-empty value");
  target = std::filesystem::u8path(value);
}

// A version key given as an option, once.
void StoreField(BuildOptions& options, const std::string& value, const std::string& name, const char* key) {
  // An unset variable in a script ("--product-version $VERSION").
  if (value.empty()) throw UsageError(name + " is empty; give its text, or leave " + name + " out");
  for (const auto& field : options.branding.fields)
    if (field.first == key) throw UsageError(name + " is given more than once");
  options.branding.fields.emplace_back(key, value);
}

#define SFXPACK_FIELD(key) \
  [](BuildOptions& o, const std::string& v, const std::string& n) { StoreField(o, v, n, key); }

// --level and --threads: a whole number in a range.
template <std::optional<int> BuildOptions::*Field, int Min, int Max>
void StoreNumber(BuildOptions& options, const std::string& value, const std::string& name) {
  std::optional<int>& target = options.*Field;
  if (target) throw UsageError(name + " is given more than once");
  int number = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
  if (value.empty() || error != std::errc() || end != value.data() + value.size() || number < Min ||
      number > Max)
    throw UsageError(name + " needs a number from " + std::to_string(Min) + " to " + std::to_string(Max) +
                     ", not \"" + value + "\"");
  target = number;
}

// --arch picks the installed stub, or checks the one --stub names.
void StoreArch(BuildOptions& options, const std::string& value, const std::string& name) {
  if (options.arch) throw UsageError(name + " is given more than once");
  if (!FindStubKind(value)) throw UsageError(name + " needs x86, x64 or arm64, not \"" + value + "\"");
  options.arch = value;
}

// Switches take no value.
template <typename Options, bool Options::*Field>
void StoreSwitch(Options& options, const std::string&, const std::string& name) {
  if (options.*Field) throw UsageError(name + " is given more than once");
  options.*Field = true;
}

const Option<BuildOptions> kBuildOptions[] = {
    {"--stub", "FILE", "the unsigned installer stub (default: the installed one)",
     StorePath<BuildOptions, &BuildOptions::stub>},
    {"--arch", "x86|x64|arm64", "the installed stub for x86 (default), x64 or ARM64",
     StoreArch},
    {"--config", "FILE", "the configuration text, UTF-8", StorePath<BuildOptions, &BuildOptions::config>},
    {"--archive", "FILE", "a 7z archive holding the installation files",
     StorePath<BuildOptions, &BuildOptions::archive>},
    {"--folder", "DIR", "pack the contents of DIR with 7-Zip, not --archive",
     StorePath<BuildOptions, &BuildOptions::folder>},
    {"--output", "FILE", "the installer; replaced only by a complete build",
     StorePath<BuildOptions, &BuildOptions::output>},
    {"--slot", "NAME=VALUE", "fill the stub's data slot NAME (repeatable)",
     [](BuildOptions& o, const std::string& v, const std::string& n) { StorePair(o.slots, v, n); }},
    {"--trailing-data", "TEXT", "append a data block: NAME=VALUE joined by &",
     StoreTrailingData},
    {"--level", "0-9", "7-Zip's compression level for --folder (default 9)",
     StoreNumber<&BuildOptions::level, 0, 9>},
    {"--threads", "N", "7-Zip's thread count for --folder (default: its choice)",
     StoreNumber<&BuildOptions::threads, 1, 256>},
    {"--progress", nullptr, "show 7-Zip's progress even when stderr is no terminal",
     StoreSwitch<BuildOptions, &BuildOptions::progress>},
    {"--strict", nullptr, "fail the build on any warning", StoreSwitch<BuildOptions, &BuildOptions::strict>},
    {"--json", nullptr, "print the result as one JSON object on stdout",
     StoreSwitch<BuildOptions, &BuildOptions::json>},
    {"--quiet", nullptr, "print nothing but errors", StoreSwitch<BuildOptions, &BuildOptions::quiet>},
    {"--follow-links", nullptr, "pack --folder's links as the files they name",
     StoreSwitch<BuildOptions, &BuildOptions::followLinks>},
    {"--reproducible", nullptr, "equal inputs give equal bytes (also SOURCE_DATE_EPOCH)",
     StoreSwitch<BuildOptions, &BuildOptions::reproducible>},
    {"--icon", "FILE.ico", "the installer's icon", StoreBrandingPath<&Branding::icon>},
    {"--version-info", "FILE", "version information: KEY=VALUE lines (see below)",
     StoreBrandingPath<&Branding::versionFile>},
    {"--product-name", "TEXT", "ProductName (wins over --version-info)", SFXPACK_FIELD("ProductName")},
    {"--company", "TEXT", "CompanyName", SFXPACK_FIELD("CompanyName")},
    {"--description", "TEXT", "FileDescription (default: the product name)", SFXPACK_FIELD("FileDescription")},
    {"--product-version", "X.Y.Z.W", "ProductVersion (default: the file version)", SFXPACK_FIELD("ProductVersion")},
    {"--file-version", "X.Y.Z.W", "FileVersion (default: the product version)", SFXPACK_FIELD("FileVersion")},
    {"--copyright", "TEXT", "LegalCopyright", SFXPACK_FIELD("LegalCopyright")},
    {"--original-filename", "NAME", "OriginalFilename (default: the output's name)",
     SFXPACK_FIELD("OriginalFilename")},
};

#undef SFXPACK_FIELD

const Option<InspectOptions> kInspectOptions[] = {
    {"--json", nullptr, "print the report as one JSON object", StoreSwitch<InspectOptions, &InspectOptions::json>},
    {"--list", nullptr, "add the archive's items, as 7-Zip lists them",
     StoreSwitch<InspectOptions, &InspectOptions::list>},
};

const Option<TagOptions> kTagOptions[] = {
    {"--value", "NAME=VALUE", "an entry of the tag (repeatable)",
     [](TagOptions& o, const std::string& v, const std::string& n) { StorePair(o.values, v, n); }},
    {"--output", "FILE", "write the tagged installer to FILE", StorePath<TagOptions, &TagOptions::output>},
    {"--in-place", nullptr, "rewrite the end of this installer; left as it was on failure",
     StoreSwitch<TagOptions, &TagOptions::inPlace>},
};

template <typename Options>
struct Table {
  const Option<Options>* begin;
  const Option<Options>* end;
  const char* command;

  const Option<Options>* Find(const std::string& name) const {
    for (const Option<Options>* o = begin; o != end; ++o)
      if (name == o->name) return o;
    return nullptr;
  }
};

template <typename Options, std::size_t N>
Table<Options> TableOf(const Option<Options> (&options)[N], const char* command) {
  return {options, options + N, command};
}

bool IsValidUtf8(const std::string& text) {
  try {
    boost::locale::conv::utf_to_utf<char>(text, boost::locale::conv::stop);
    return true;
  } catch (const boost::locale::conv::conversion_error&) {
    return false;
  }
}

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h" || arg == "/?"; }

// The number of letters to insert, remove or change to make a into b.
std::size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

template <typename Options>
std::string Suggestion(const Table<Options>& table, const std::string& name) {
  const Option<Options>* best = nullptr;
  std::size_t bestDistance = 3;  // two slips at most
  for (const Option<Options>* o = table.begin; o != table.end; ++o) {
    const std::size_t distance = EditDistance(name, o->name);
    if (distance < bestDistance) {
      best = o;
      bestDistance = distance;
    }
  }
  return best ? std::string("; did you mean ") + best->name + "?" : std::string();
}

struct Arguments {
  std::vector<std::string> operands;
  bool help = false;  // --help, -h or /? where an option may stand
};

// Options take their value from the next argument or after "="; a value
// that is itself an option of the command (or a help switch) is refused,
// since it is more likely a forgotten value. After "--" every argument is
// an operand.
template <typename Options>
Arguments ParseOptions(const std::vector<std::string>& args, const Table<Options>& table, Options& options) {
  Arguments result;
  const auto isOption = [&](const std::string& arg) {
    return IsHelp(arg) || table.Find(arg.substr(0, arg.find('=')));
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    if (name == "--") {
      result.operands.insert(result.operands.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      break;
    }
    if (IsHelp(name)) {
      result.help = true;
      return result;
    }
    if (name.size() < 2 || name[0] != '-') {
      result.operands.push_back(name);
      continue;
    }
    std::string value;
    const std::size_t equals = name.find('=');
    const bool inlineValue = name.rfind("--", 0) == 0 && equals != std::string::npos;
    if (inlineValue) {
      value = name.substr(equals + 1);
      name.resize(equals);
    }
    const Option<Options>* option = table.Find(name);
    if (!option)
      throw UsageError("unknown option \"" + name + "\" for " + table.command + Suggestion(table, name));
    if (!option->value) {
      if (inlineValue) throw UsageError(name + " takes no value");
    } else if (!inlineValue) {
      if (i + 1 == args.size()) throw UsageError(name + " needs a value");
      value = args[++i];
      // "--output --strict" forgot the output's name.
      if (isOption(value))
        throw UsageError(name + " needs a value, not the option " + value + " (write " + name + "=" + value +
                         " if that is really meant)");
    }
    option->store(options, value, name);
  }
  return result;
}

Invocation HelpFor(Command command) {
  Invocation invocation;
  invocation.helpFor = command;
  return invocation;
}

void RequireBuildOptions(const BuildOptions& o) {
  if (o.config.empty()) throw UsageError("build needs --config");
  if (o.output.empty()) throw UsageError("build needs --output");
  if (o.archive.empty() && o.folder.empty()) throw UsageError("build needs --archive or --folder");
  if (!o.archive.empty() && !o.folder.empty())
    throw UsageError("build takes --archive or --folder, not both");
  if (o.json && o.quiet) throw UsageError("build takes --json or --quiet, not both");
  // They tell 7-Zip how to pack a folder; an archive is packed already.
  if (!o.archive.empty()) {
    const std::pair<bool, const char*> packing[] = {{o.level.has_value(), "--level"},
                                                    {o.threads.has_value(), "--threads"},
                                                    {o.followLinks, "--follow-links"},
                                                    {o.progress, "--progress"}};
    for (const auto& [given, name] : packing)
      if (given)
        throw UsageError(std::string(name) + " applies only to --folder; --archive is packed already, so leave " +
                         name + " out");
  }
}

Invocation ParseBuild(const std::vector<std::string>& args) {
  Invocation invocation;
  invocation.command = Command::Build;
  const Arguments parsed = ParseOptions(args, TableOf(kBuildOptions, "build"), invocation.build);
  if (parsed.help) return HelpFor(Command::Build);
  if (!parsed.operands.empty()) throw UsageError("unexpected argument \"" + parsed.operands.front() + "\" for build");
  RequireBuildOptions(invocation.build);
  return invocation;
}

// inspect and verify take one file and, inspect, their switches.
Invocation ParseExamine(Command command, const std::vector<std::string>& args) {
  Invocation invocation;
  invocation.command = command;
  const Table<InspectOptions> table = command == Command::Inspect
                                          ? TableOf(kInspectOptions, "inspect")
                                          : Table<InspectOptions>{kInspectOptions, kInspectOptions, "verify"};
  const Arguments parsed = ParseOptions(args, table, invocation.inspect);
  if (parsed.help) return HelpFor(command);
  if (parsed.operands.size() != 1) throw UsageError(std::string(table.command) + " takes exactly one file");
  invocation.inspect.file = std::filesystem::u8path(parsed.operands.front());
  return invocation;
}

// tag FILE --value NAME=VALUE... (--output FILE | --in-place).
Invocation ParseTag(const std::vector<std::string>& args) {
  Invocation invocation;
  invocation.command = Command::Tag;
  TagOptions& o = invocation.tag;
  const Arguments parsed = ParseOptions(args, TableOf(kTagOptions, "tag"), o);
  if (parsed.help) return HelpFor(Command::Tag);
  if (parsed.operands.size() != 1) throw UsageError("tag takes exactly one installer");
  o.file = std::filesystem::u8path(parsed.operands.front());
  if (o.values.empty()) throw UsageError("tag needs at least one --value");
  if (o.output.empty() == !o.inPlace) throw UsageError("tag needs either --output FILE or --in-place");
  return invocation;
}

template <typename Options>
std::vector<OptionInfo> Infos(const Table<Options>& table) {
  std::vector<OptionInfo> infos;
  for (const Option<Options>* o = table.begin; o != table.end; ++o) infos.push_back({o->name, o->value, o->help});
  return infos;
}

Command CommandNamed(const std::string& name) {
  if (name == "build") return Command::Build;
  if (name == "inspect") return Command::Inspect;
  if (name == "verify") return Command::Verify;
  if (name == "tag") return Command::Tag;
  return Command::Help;
}

}  // namespace

Invocation ParseCommandLine(const std::vector<std::string>& args) {
  if (args.empty()) throw UsageError("no command given");
  for (std::size_t i = 0; i < args.size(); ++i)
    if (!IsValidUtf8(args[i]))
      throw UsageError("argument " + std::to_string(i + 1) +
                       " is not valid UTF-8; use a UTF-8 locale or give the text as UTF-8");
  const std::string& command = args.front();
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (IsHelp(command) || command == "help")
    return HelpFor(CommandNamed(command == "help" && !rest.empty() ? rest.front() : command));
  if (command == "--version" || command == "version") {
    if (!rest.empty()) throw UsageError(command + " takes no arguments");
    Invocation invocation;
    invocation.command = Command::Version;
    return invocation;
  }
  if (command == "build") return ParseBuild(rest);
  if (command == "inspect") return ParseExamine(Command::Inspect, rest);
  if (command == "verify") return ParseExamine(Command::Verify, rest);
  if (command == "tag") return ParseTag(rest);
  throw UsageError("unknown command \"" + command + "\" (expected build, inspect, verify, tag or --version)");
}

std::vector<OptionInfo> CommandOptions(Command command) {
  switch (command) {
    case Command::Build: return Infos(TableOf(kBuildOptions, "build"));
    case Command::Inspect: return Infos(TableOf(kInspectOptions, "inspect"));
    case Command::Tag: return Infos(TableOf(kTagOptions, "tag"));
    case Command::Verify:
    case Command::Help:
    case Command::Version: break;
  }
  return {};
}

const char* SfxpackVersion() {
  return SETUPSFX_VERSION;
}

}  // namespace sfxpack
