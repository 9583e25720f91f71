#include "CommandLine.h"

#include <algorithm>
#include <charconv>
#include <iomanip>
#include <iterator>

#include <boost/locale/encoding_utf.hpp>

#include "Errors.h"

namespace sfxpack {
namespace {

// Stores the value of an option that names a file or folder; each such
// option may appear once.
template <std::filesystem::path BuildOptions::*Field>
void StorePath(BuildOptions& options, const std::string& value, const std::string& name) {
  std::filesystem::path& target = options.*Field;
  if (!target.empty()) throw UsageError(name + " is given more than once");
  if (value.empty()) throw UsageError(name + " needs a non-empty value");
  target = std::filesystem::u8path(value);
}

// --slot NAME=VALUE, once per slot; the stub decides which names exist.
void StoreSlot(BuildOptions& options, const std::string& value, const std::string& name) {
  const std::size_t equals = value.find('=');
  if (equals == std::string::npos || equals == 0)
    throw UsageError(name + " needs NAME=VALUE, not \"" + value + "\"");
  std::string slot = value.substr(0, equals);
  for (const auto& given : options.slots)
    if (given.first == slot) throw UsageError(name + " " + slot + " is given more than once");
  options.slots.emplace_back(std::move(slot), value.substr(equals + 1));
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
  if (value != "x86" && value != "x64") throw UsageError(name + " needs x86 or x64, not \"" + value + "\"");
  options.arch = value;
}

// Switches take no value.
template <bool BuildOptions::*Field>
void StoreSwitch(BuildOptions& options, const std::string&, const std::string& name) {
  if (options.*Field) throw UsageError(name + " is given more than once");
  options.*Field = true;
}

// The options of build: one row each, read by the parser and the help.
struct BuildOption {
  const char* name;
  const char* value;  // nullptr for a switch
  const char* help;
  void (*store)(BuildOptions& options, const std::string& value, const std::string& name);
};

const BuildOption kBuildOptions[] = {
    {"--stub", "FILE", "the unsigned installer stub (default: the installed one)",
     StorePath<&BuildOptions::stub>},
    {"--arch", "x86|x64", "the installed stub for x86 (default) or x64",
     StoreArch},
    {"--config", "FILE", "the configuration text, UTF-8", StorePath<&BuildOptions::config>},
    {"--archive", "FILE", "a 7z archive holding the installation files",
     StorePath<&BuildOptions::archive>},
    {"--folder", "DIR", "pack the contents of DIR with 7-Zip, not --archive",
     StorePath<&BuildOptions::folder>},
    {"--output", "FILE", "the installer; replaced only by a complete build",
     StorePath<&BuildOptions::output>},
    {"--slot", "NAME=VALUE", "fill the stub's data slot NAME (repeatable)",
     StoreSlot},
    {"--trailing-data", "TEXT", "append a data block: NAME=VALUE joined by &",
     StoreTrailingData},
    {"--level", "0-9", "7-Zip's compression level for --folder (default 9)",
     StoreNumber<&BuildOptions::level, 0, 9>},
    {"--threads", "N", "7-Zip's thread count for --folder (default: its choice)",
     StoreNumber<&BuildOptions::threads, 1, 256>},
    {"--progress", nullptr, "show 7-Zip's progress even when stderr is no terminal",
     StoreSwitch<&BuildOptions::progress>},
    {"--strict", nullptr, "fail the build on any warning", StoreSwitch<&BuildOptions::strict>},
    {"--json", nullptr, "print the result as one JSON object on stdout", StoreSwitch<&BuildOptions::json>},
    {"--quiet", nullptr, "print nothing but errors", StoreSwitch<&BuildOptions::quiet>},
    {"--follow-links", nullptr, "pack --folder's links as the files they name",
     StoreSwitch<&BuildOptions::followLinks>},
    {"--reproducible", nullptr, "equal inputs give equal bytes (also SOURCE_DATE_EPOCH)",
     StoreSwitch<&BuildOptions::reproducible>},
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

bool IsValidUtf8(const std::string& text) {
  try {
    boost::locale::conv::utf_to_utf<char>(text, boost::locale::conv::stop);
    return true;
  } catch (const boost::locale::conv::conversion_error&) {
    return false;
  }
}

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h" || arg == "/?"; }

bool IsBuildOption(const std::string& arg) {
  const std::string name = arg.substr(0, arg.find('='));
  return std::any_of(std::begin(kBuildOptions), std::end(kBuildOptions),
                     [&](const BuildOption& option) { return name == option.name; });
}

const BuildOption& FindBuildOption(const std::string& name) {
  for (const BuildOption& option : kBuildOptions)
    if (name == option.name) return option;
  if (name.rfind("-", 0) == 0) throw UsageError("unknown option \"" + name + "\" for build");
  throw UsageError("unexpected argument \"" + name + "\" for build");
}

void RequireBuildOptions(const BuildOptions& o) {
  if (o.config.empty()) throw UsageError("build needs --config");
  if (o.output.empty()) throw UsageError("build needs --output");
  if (o.archive.empty() && o.folder.empty()) throw UsageError("build needs --archive or --folder");
  if (!o.archive.empty() && !o.folder.empty())
    throw UsageError("build takes --archive or --folder, not both");
  if (o.json && o.quiet) throw UsageError("build takes --json or --quiet, not both");
}

// Options take their value from the next argument or after "=".
Invocation ParseBuild(const std::vector<std::string>& args) {
  Invocation invocation;
  invocation.command = Command::Build;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::string value;
    const std::size_t equals = name.find('=');
    const bool inlineValue = name.rfind("--", 0) == 0 && equals != std::string::npos;
    if (inlineValue) {
      value = name.substr(equals + 1);
      name.resize(equals);
    }
    const BuildOption& option = FindBuildOption(name);
    if (!option.value) {
      if (inlineValue) throw UsageError(name + " takes no value");
    } else if (!inlineValue) {
      if (i + 1 == args.size()) throw UsageError(name + " needs a value");
      value = args[++i];
      // "--output --strict" forgot the output's name.
      if (IsBuildOption(value))
        throw UsageError(name + " needs a value, not the option " + value + " (write " + name + "=" + value +
                         " if that is really meant)");
    }
    option.store(invocation.build, value, name);
  }
  RequireBuildOptions(invocation.build);
  return invocation;
}

Invocation ParseInspect(const std::vector<std::string>& args) {
  Invocation invocation;
  invocation.command = Command::Inspect;
  InspectOptions& o = invocation.inspect;
  for (const std::string& arg : args) {
    if (arg == "--json" || arg == "--list") {
      bool& flag = arg == "--json" ? o.json : o.list;
      if (flag) throw UsageError(arg + " is given more than once");
      flag = true;
    } else if (arg.rfind("-", 0) == 0) {
      throw UsageError("unknown option \"" + arg + "\" for inspect");
    } else {
      if (!o.file.empty()) throw UsageError("inspect takes exactly one file");
      o.file = std::filesystem::u8path(arg);
    }
  }
  if (o.file.empty()) throw UsageError("inspect takes exactly one file");
  return invocation;
}

// tag FILE --value NAME=VALUE... (--output FILE | --in-place); values as
// --value=NAME=VALUE too.
Invocation ParseTag(const std::vector<std::string>& args) {
  Invocation invocation;
  invocation.command = Command::Tag;
  TagOptions& o = invocation.tag;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const auto valueOf = [&](const std::string& name) {
      if (arg.size() > name.size() && arg.compare(0, name.size() + 1, name + "=") == 0)
        return arg.substr(name.size() + 1);
      if (i + 1 == args.size()) throw UsageError(name + " needs a value");
      return args[++i];
    };
    if (arg == "--value" || arg.rfind("--value=", 0) == 0) {
      const std::string value = valueOf("--value");
      const std::size_t equals = value.find('=');
      if (equals == std::string::npos || equals == 0)
        throw UsageError("--value needs NAME=VALUE, not \"" + value + "\"");
      std::string name = value.substr(0, equals);
      for (const auto& given : o.values)
        if (given.first == name) throw UsageError("--value " + name + " is given more than once");
      o.values.emplace_back(std::move(name), value.substr(equals + 1));
    } else if (arg == "--output" || arg.rfind("--output=", 0) == 0) {
      if (!o.output.empty()) throw UsageError("--output is given more than once");
      const std::string value = valueOf("--output");
      if (value.empty()) throw UsageError("--output needs a non-empty value");
      o.output = std::filesystem::u8path(value);
    } else if (arg == "--in-place") {
      if (o.inPlace) throw UsageError("--in-place is given more than once");
      o.inPlace = true;
    } else if (arg.rfind("-", 0) == 0) {
      throw UsageError("unknown option \"" + arg + "\" for tag");
    } else {
      if (!o.file.empty()) throw UsageError("tag takes exactly one installer");
      o.file = std::filesystem::u8path(arg);
    }
  }
  if (o.file.empty()) throw UsageError("tag takes exactly one installer");
  if (o.values.empty()) throw UsageError("tag needs at least one --value");
  if (o.output.empty() == !o.inPlace) throw UsageError("tag needs either --output FILE or --in-place");
  return invocation;
}

Invocation ParseVerify(const std::vector<std::string>& args) {
  Invocation invocation;
  invocation.command = Command::Verify;
  for (const std::string& arg : args)
    if (arg.rfind("-", 0) == 0) throw UsageError("unknown option \"" + arg + "\" for verify");
  if (args.size() != 1) throw UsageError("verify takes exactly one file");
  invocation.inspect.file = std::filesystem::u8path(args.front());
  return invocation;
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
  if (IsHelp(command) || command == "help" || std::any_of(rest.begin(), rest.end(), IsHelp)) {
    Invocation invocation;
    invocation.helpFor = CommandNamed(command == "help" && !rest.empty() ? rest.front() : command);
    return invocation;
  }
  if (command == "--version" || command == "version") {
    if (!rest.empty()) throw UsageError(command + " takes no arguments");
    Invocation invocation;
    invocation.command = Command::Version;
    return invocation;
  }
  if (command == "build") return ParseBuild(rest);
  if (command == "inspect") return ParseInspect(rest);
  if (command == "verify") return ParseVerify(rest);
  if (command == "tag") return ParseTag(rest);
  throw UsageError("unknown command \"" + command + "\" (expected build, inspect, verify, tag or --version)");
}

namespace {

void PrintBuildHelp(std::ostream& out) {
  out << "Options of build (also as --option=VALUE):\n";
  for (const BuildOption& option : kBuildOptions) {
    const std::string usage = std::string(option.name) + (option.value ? std::string(" ") + option.value : "");
    out << "  " << std::left << std::setw(28) << usage << option.help << '\n';
  }
  out << "\n"
         "The configuration is UTF-8 text; a byte-order mark at its start is removed.\n"
         "The stub must be unsigned: sign the built installer instead. Without --stub,\n"
         "the stub for --arch is looked for beside sfxpack, then in ../share/setupsfx\n"
         "beside it, then in SFXPACK_STUB_DIR.\n"
         "Branding replaces the stub's icon (group 128) and version resource; the\n"
         "--version-info file holds lines ProductName=, CompanyName=, FileDescription=,\n"
         "ProductVersion=, FileVersion=, LegalCopyright=, OriginalFilename=.\n"
         "The configuration is checked: unknown sections and keys, ignored lines and\n"
         "a SetupFileName the payload does not hold are warnings. An --archive is\n"
         "tested with 7-Zip before anything is written; a damaged one is refused.\n"
         "--json prints {path, size, sha256, lzma2Blocks, warnings: [{code, message}]};\n"
         "without a terminal, --progress writes whole lines.\n"
         "\n"
         "Forwarded data (handed to the setup program in SetupValues.dat):\n"
         "  --slot fills one of the stub's data slots (HLVID, HLVID2, HV_VOLTARIN_PHASH);\n"
         "  the value must fit the slot (256, 256 and 34 bytes). --trailing-data takes\n"
         "  entries NAME=VALUE joined by \"&\", where %XX stands for the character with\n"
         "  that hexadecimal code; the installer reads the block only when its stub has\n"
         "  no data slots, and only from an installer of at least 65,536 bytes.\n"
         "  A tag's values (at most 16 KiB as a block) are forwarded after those,\n"
         "  each replacing a value of the same name. The signature does not cover\n"
         "  a tag: anyone can change it, so the setup must treat its values as\n"
         "  untrusted.\n"
         "\n"
         "Environment:\n"
         "  SFXPACK_7Z      the 7-Zip program for --folder\n"
         "                  (default: 7zz, else 7z, found on the PATH)\n"
         "  SFXPACK_STUB_DIR  the folder searched last for the stubs\n"
         "  SOURCE_DATE_EPOCH  as --reproducible; --folder file times later than\n"
         "                  these seconds since 1970 are stored as them\n";
}

constexpr const char* kBuildUsage =
    "  sfxpack build [--stub STUB.exe] [--arch x86|x64] --config CONFIG.txt\n"
    "                (--archive PAYLOAD.7z | --folder DIR) --output SETUP.exe\n"
    "                [--slot NAME=VALUE]... [--trailing-data TEXT]\n"
    "                [--level 0-9] [--threads N] [--progress] [--strict] [--json | --quiet]\n"
    "                [--follow-links] [--reproducible] [--icon FILE.ico] [--version-info FILE]\n"
    "                [--product-name TEXT] [--company TEXT] [--file-version X.Y.Z.W]...\n";
constexpr const char* kInspectUsage = "  sfxpack inspect [--json] [--list] SETUP.exe\n";
constexpr const char* kVerifyUsage = "  sfxpack verify SETUP.exe\n";

constexpr const char* kInspectHelp =
    "Prints the layout of a built installer (which stub, where its block and\n"
    "archive lie, its size record or certificate table, its data slots, icon,\n"
    "version and configuration text); --json prints it as one JSON object,\n"
    "--list adds the archive's items as 7-Zip lists them.\n";
constexpr const char* kVerifyHelp =
    "Checks an installer without running it: its image, its configuration\n"
    "block (deciphers to UTF-8, with the warnings of build), its size record or\n"
    "the end of its signature, its PE checksum, its archive's structure and\n"
    "every CRC (tested by 7-Zip), and its data slots. Prints one line per fault.\n";

constexpr const char* kTagUsage = "  sfxpack tag SETUP.exe --value NAME=VALUE... (--output FILE | --in-place)\n";
constexpr const char* kTagHelp =
    "Puts NAME=VALUE entries into the signature of a signed installer, replacing\n"
    "an earlier tag, without breaking the signature: the installer hands them to\n"
    "its setup with the data slots. --output writes a new file, --in-place\n"
    "rewrites only the end of this one. The values are not signed: the setup\n"
    "must treat them as untrusted.\n";

constexpr const char* kInterruptExit = "  130, 143  interrupted (SIGINT, SIGTERM); nothing is left behind\n";

}  // namespace

void PrintHelp(std::ostream& out, Command command) {
  switch (command) {
    case Command::Build:
      out << "Usage:\n" << kBuildUsage
          << "\nWrites SETUP.exe: the stub, its enciphered configuration and a 7z archive.\n\n";
      PrintBuildHelp(out);
      out << "\nExit status:\n  0  written\n  1  refused or failed, or a warning with --strict; "
             "nothing written\n  2  wrong usage\n"
          << kInterruptExit;
      return;
    case Command::Inspect:
      out << "Usage:\n" << kInspectUsage << '\n' << kInspectHelp
          << "\nExit status:\n  0  printed; the file matches its records\n"
             "  1  printed; the file's size or end does not match its record\n"
             "  2  wrong usage\n"
             "  3  the file cannot be examined (unreadable, no PE image, no configuration\n"
             "     block; with --list, 7-Zip cannot list the archive)\n"
          << kInterruptExit;
      return;
    case Command::Verify:
      out << "Usage:\n" << kVerifyUsage << '\n' << kVerifyHelp
          << "\nExit status:\n  0  every check holds\n  1  a fault, one line each on standard error\n"
             "  2  wrong usage\n"
             "  3  the file cannot be examined (unreadable, no PE image, no configuration\n"
             "     block, no 7-Zip to test its archive)\n"
          << kInterruptExit;
      return;
    case Command::Tag:
      out << "Usage:\n" << kTagUsage << '\n' << kTagHelp
          << "\nExit status:\n  0  tagged\n  1  refused or failed (unsigned, damaged signature, values\n"
             "     over 16 KiB); nothing written\n  2  wrong usage\n"
          << kInterruptExit;
      return;
    case Command::Help:
    case Command::Version:
      break;
  }
  out << "Usage:\n" << kBuildUsage << kInspectUsage << kVerifyUsage << kTagUsage
      << "  sfxpack COMMAND --help | --help | --version\n"
         "\n"
         "Builds a self-extracting installer: the stub program, followed by its\n"
         "configuration (enciphered) and a 7z archive of the installation files.\n"
         "\n"
         "Commands:\n"
         "  build    write SETUP.exe from a stub, a configuration and an archive\n"
         "  inspect  show the layout of a built installer and its configuration\n"
         "  verify   check a built installer: everything it checks, and its archive\n"
         "  tag      put NAME=VALUE entries into the signature of a signed installer\n"
         "\n";
  PrintBuildHelp(out);
  out << "\n"
         "Exit status: 0 done, 1 refused or failed (inspect: the file does not match\n"
         "its records; verify: a fault), 2 wrong usage, 3 the file cannot be examined\n"
         "(inspect, verify), 130 or 143 interrupted (SIGINT, SIGTERM).\n";
}

const char* SfxpackVersion() {
  return SETUPSFX_VERSION;
}

}  // namespace sfxpack
