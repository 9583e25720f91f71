// The help of sfxpack and of each command, their options from the tables
// that the parser reads.
#include <iomanip>
#include <string>

#include "CommandLine.h"

namespace sfxpack {
namespace {

void PrintOptions(std::ostream& out, Command command) {
  for (const OptionInfo& option : CommandOptions(command)) {
    const std::string usage = std::string(option.name) + (option.value ? std::string(" ") + option.value : "");
    out << "  " << std::left << std::setw(28) << usage << option.help << '\n';
  }
}

void PrintBuildHelp(std::ostream& out) {
  out << "Options of build (also as --option=VALUE; \"--\" ends the options):\n";
  PrintOptions(out, Command::Build);
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
         "--json prints {path, size, sha256, lzma2Blocks, warnings: [{code, message}]},\n"
         "or for a failure {path, error, warnings}; --quiet still shows the warnings\n"
         "that fail a --strict build. Of one kind only 20 warnings are printed.\n"
         "Without a terminal, --progress writes whole lines.\n"
         "\n"
         "Forwarded data (handed to the setup program in SetupValues.dat):\n"
         "  --slot fills one of the stub's data slots (HLVID, HLVID2, HV_VOLTARIN_PHASH);\n"
         "  the value must fit the slot (256, 256 and 34 bytes). --trailing-data takes\n"
         "  entries NAME=VALUE joined by \"&\", where %XX stands for the character with\n"
         "  that hexadecimal code; the installer reads the block only when its stub has\n"
         "  no data slots, and only from an installer of at least 65,536 bytes.\n"
         "  A tag's values (a block of at most 16,384 bytes, fewer than 8,192 UTF-16\n"
         "  characters) are forwarded after those,\n"
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
    "  sfxpack build [--stub STUB.exe] [--arch x86|x64|arm64] --config CONFIG.txt\n"
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
    "version, configuration text and each signature's digest and whether it\n"
    "matches the file).\n";
constexpr const char* kVerifyHelp =
    "Checks an installer without running it: its image, its size (Windows starts\n"
    "no program of 4 GiB or more), its configuration block (deciphers to UTF-8,\n"
    "with the warnings of build), its size record or the end of its signature,\n"
    "its PE checksum, every Authenticode signature, nested ones too (it parses,\n"
    "its signer's signature holds and the digest it signs is the file's hash),\n"
    "its archive's structure and every CRC (tested by 7-Zip), and its data slots.\n"
    "Prints one line per fault. The trust in a signature's certificates is not\n"
    "checked: that is Windows' part when the file runs.\n";

constexpr const char* kTagUsage = "  sfxpack tag SETUP.exe --value NAME=VALUE... (--output FILE | --in-place)\n";
constexpr const char* kTagHelp =
    "Puts NAME=VALUE entries into the signature of a signed installer, replacing\n"
    "an earlier tag, without breaking the signature: the installer hands them to\n"
    "its setup with the data slots. --output writes a new file, --in-place\n"
    "rewrites only the end of this one, after making room for it, and puts the\n"
    "old bytes back on any failure. An installer whose signature does not match\n"
    "it (as verify checks) is refused. The values are not signed: the setup\n"
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
      out << "Usage:\n" << kInspectUsage << '\n' << kInspectHelp << "\nOptions of inspect:\n";
      PrintOptions(out, Command::Inspect);
      out
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
      out << "Usage:\n" << kTagUsage << '\n' << kTagHelp << "\nOptions of tag (also as --option=VALUE):\n";
      PrintOptions(out, Command::Tag);
      out
          << "\nExit status:\n  0  tagged\n  1  refused or failed (unsigned, damaged signature, values\n"
             "     over 16,384 bytes); nothing written\n  2  wrong usage\n"
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

}  // namespace sfxpack
