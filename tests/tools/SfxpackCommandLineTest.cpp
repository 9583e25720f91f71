// The command line and the placement rules, without files.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "CommandLine.h"
#include "Errors.h"
#include "Layout.h"
#include "core/payload/PayloadFormat.h"
#include "Sfxpack.h"

using namespace sfxpack;

namespace {

const std::vector<std::string> kBuild = {"build", "--stub", "s.exe", "--config", "c.txt",
                                         "--archive", "a.7z", "--output", "o.exe"};

std::vector<std::string> With(std::vector<std::string> args, std::vector<std::string> more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

std::vector<std::string> Without(std::vector<std::string> args, const std::string& option) {
  const auto at = std::find(args.begin(), args.end(), option);
  args.erase(at, at + 2);
  return args;
}

std::string UsageMessage(const std::vector<std::string>& args) {
  try {
    ParseCommandLine(args);
  } catch (const UsageError& e) {
    return e.what();
  }
  return "accepted";
}

TEST(CommandLine, HelpListsEveryOptionAndExitsZero) {
  const std::vector<std::string> helps[] = {{"--help"}, {"build", "-h"}};
  for (const auto& args : helps) {
    std::ostringstream out, err;
    EXPECT_EQ(RunSfxpack(args, out, err), 0);
    for (const char* option :
         {"--stub", "--config", "--archive", "--folder", "--output", "SFXPACK_7Z"})
      EXPECT_NE(out.str().find(option), std::string::npos) << option;
  }
}

TEST(CommandLine, EachCommandHasItsOwnHelpWithItsExitCodes) {
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"build", "--help"}, "--quiet"},
      {{"inspect", "--help"}, "3  the file cannot be examined"},
      {{"verify", "-h"}, "1  a fault, one line each on standard error"},
  };
  for (const auto& [args, phrase] : cases) {
    std::ostringstream out, err;
    EXPECT_EQ(RunSfxpack(args, out, err), 0);
    EXPECT_EQ(out.str().rfind("Usage:\n  sfxpack " + args.front(), 0), 0u) << out.str();
    EXPECT_NE(out.str().find(phrase), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("130, 143"), std::string::npos) << out.str();
  }
}

TEST(CommandLine, BadUsageExitsTwoWithHint) {
  std::ostringstream out, err;
  EXPECT_EQ(RunSfxpack({"pack"}, out, err), 2);
  EXPECT_EQ(err.str(), "sfxpack: error: unknown command \"pack\" (expected build, inspect, verify, tag or --version)\n"
                       "Run \"sfxpack --help\" for usage.\n");
}

TEST(CommandLine, BuildReadsValuesAfterSpaceOrEquals) {
  const Invocation i = ParseCommandLine({"build", "--stub=s.exe", "--config", "c=1.txt",
                                         "--folder=files", "--output", "o.exe"});
  EXPECT_EQ(i.command, Command::Build);
  EXPECT_EQ(i.build.stub, "s.exe");
  EXPECT_EQ(i.build.config, "c=1.txt");
  EXPECT_EQ(i.build.folder, "files");
  EXPECT_EQ(i.build.output, "o.exe");
}

TEST(CommandLine, BuildNamesWhatIsMissingOrWrong) {
  EXPECT_EQ(UsageMessage(Without(kBuild, "--stub")), "accepted");
  EXPECT_EQ(UsageMessage(With(kBuild, {"--arch", "arm32"})), "--arch needs x86, x64 or arm64, not \"arm32\"");
  EXPECT_EQ(UsageMessage(Without(kBuild, "--output")), "build needs --output");
  EXPECT_EQ(UsageMessage(Without(kBuild, "--archive")), "build needs --archive or --folder");
  EXPECT_EQ(UsageMessage(With(kBuild, {"--folder", "d"})),
            "build takes --archive or --folder, not both");
  EXPECT_EQ(UsageMessage(With(kBuild, {"--stub", "t.exe"})), "--stub is given more than once");
  EXPECT_EQ(UsageMessage(With(kBuild, {"--stubb"})), "unknown option \"--stubb\" for build; did you mean --stub?");
  EXPECT_EQ(UsageMessage(With(kBuild, {"--folder"})), "--folder needs a value");
  EXPECT_EQ(UsageMessage(With(kBuild, {"x.exe"})), "unexpected argument \"x.exe\" for build");
}

// One parser for every command: a forgotten value, "--", a help switch
// as a value and a slip of the keyboard.
TEST(CommandLine, EveryCommandGuardsItsOptionsAlike) {
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"tag", "x.exe", "--value", "A=1", "--output", "--in-place"},
       "--output needs a value, not the option --in-place (write --output=--in-place if that is really meant)"},
      {With(kBuild, {"--product-name", "-h"}), "--product-name needs a value, not the option -h (write --product-name=-h if that is really meant)"},
      {{"inspect", "--jsn", "x.exe"}, "unknown option \"--jsn\" for inspect; did you mean --json?"},
      {{"tag", "x.exe", "--in-plac"}, "unknown option \"--in-plac\" for tag; did you mean --in-place?"},
      {{"verify", "--json", "x.exe"}, "unknown option \"--json\" for verify"},
      {{"inspect", "--", "--json"}, "accepted"},
      {{"tag", "--", "-x.exe", "--value", "A=1"}, "tag takes exactly one installer"},
  };
  for (const auto& [args, message] : cases) EXPECT_EQ(UsageMessage(args), message);
  EXPECT_EQ(ParseCommandLine({"inspect", "--", "--json"}).inspect.file, "--json");
  EXPECT_EQ(ParseCommandLine({"build", "--product-name=-h", "--config", "c", "--archive", "a", "--output", "o"})
                .build.branding.fields.front().second,
            "-h");
  EXPECT_EQ(ParseCommandLine({"tag", "x.exe", "--help"}).helpFor, Command::Tag);
}

TEST(CommandLine, InspectTakesExactlyOneFile) {
  EXPECT_EQ(ParseCommandLine({"inspect", "setup.exe"}).inspect.file, "setup.exe");
  EXPECT_EQ(UsageMessage({"inspect"}), "inspect takes exactly one file");
  EXPECT_EQ(UsageMessage({"inspect", "a.exe", "b.exe"}), "inspect takes exactly one file");
}

TEST(Layout, ArchiveMustBeginBelowFourMiB) {
  const std::uint64_t image = 0x100000, markers = 18 + 15;
  const std::uint64_t fits = payload::kArchiveWindow - 1 - image - markers;
  EXPECT_EQ(PlanLayout(image, fits, "the stub").archiveOffset, payload::kArchiveWindow - 1);
  EXPECT_THROW(PlanLayout(image, fits + 1, "the stub"), PackError);
}

TEST(Layout, EndMarkerMustLieInsideTheScan) {
  // The scan stops 20 bytes before the end; the end marker takes 15 of them.
  const Layout layout = PlanLayout(1000, 48, "the stub");
  EXPECT_EQ(layout.endMarkerOffset, 1000u + 18 + 48);
  EXPECT_EQ(FinalFileSize(layout, 6), 1000u + 18 + 48 + 15 + 6);
  EXPECT_THROW(FinalFileSize(layout, 5), PackError);
}

}  // namespace
