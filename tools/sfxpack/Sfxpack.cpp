#include "Sfxpack.h"

#include <algorithm>
#include <cstdint>
#include <exception>

#include "Build.h"
#include "CommandLine.h"
#include "Errors.h"
#include "FileIo.h"
#include "Inspect.h"
#include "Interrupts.h"
#include "StubSearch.h"
#include "Tag.h"
#include "Verify.h"
#include "Warnings.h"

namespace sfxpack {
namespace {

// The report first, then the mismatches as errors: exit code 1; a file
// that cannot be examined, or whose archive 7-Zip cannot list: 3.
int Inspect(const InspectOptions& options, std::ostream& out, std::ostream& err) {
  InstallerReport report;
  try {
    report = ReadInstaller(options.file);
    if (options.list) ListItems(options.file, report);
  } catch (const std::exception& e) {
    if (options.json) PrintJsonError(options.file, e.what(), out);
    throw;
  }
  if (options.json)
    PrintJsonReport(report, out);
  else
    PrintReport(report, out);
  const std::vector<std::string> mismatches = Mismatches(report);
  for (const std::string& mismatch : mismatches)
    err << "sfxpack: error: " << Quoted(options.file) << ": " << mismatch
        << "; the installer would refuse to run\n";
  if (!mismatches.empty()) return 1;
  if (report.listError) {
    err << "sfxpack: error: " << *report.listError << '\n';
    return 3;
  }
  return 0;
}

int Verify(const std::filesystem::path& file, std::ostream& out, std::ostream& err) {
  const Verification verification = VerifyInstaller(file, err);
  for (const std::string& fault : verification.faults)
    err << "sfxpack: error: " << Quoted(file) << ": " << fault << '\n';
  if (!verification.faults.empty()) return 1;
  if (verification.unchecked) throw ExamineError(*verification.unchecked);
  out << "sfxpack: " << Quoted(file) << " is sound: image, configuration, size record or signature, archive "
      << "and data slots; "
      << (verification.digests ? "signed (" + *verification.digests +
                                     "), matching the file; the certificates' trust is not checked\n"
                               : std::string("unsigned\n"));
  return 0;
}

// With --json one object on stdout, failures included; with --quiet the
// warnings that fail a strict build are shown all the same.
int Build(BuildOptions options, std::ostream& out, std::ostream& err) {
  std::ostream none(nullptr);  // --quiet: notes and warnings go nowhere
  std::ostream& notes = options.quiet ? none : err;
  Warnings warnings(notes);
  std::uint64_t size = 0;
  try {
    if (options.stub.empty()) options.stub = RequireStub(options.arch.value_or("x86"), StubFolders());
    size = BuildInstaller(options, warnings, notes);
  } catch (const std::exception& e) {
    if (options.json) PrintJsonBuildError(options.output, e.what(), warnings, out);
    if (options.quiet && options.strict) warnings.PrintAll(err);
    throw;
  }
  if (options.json)
    PrintJsonBuild(options.output, size, warnings, out);
  else if (!options.quiet)
    out << "sfxpack: wrote " << Quoted(options.output) << " (" << size << " bytes)\n";
  return 0;
}

int Run(const Invocation& invocation, std::ostream& out, std::ostream& err) {
  switch (invocation.command) {
    case Command::Build:
      return Build(invocation.build, out, err);
    case Command::Inspect:
      return Inspect(invocation.inspect, out, err);
    case Command::Verify:
      return Verify(invocation.inspect.file, out, err);
    case Command::Tag: {
      const TagOptions& tag = invocation.tag;
      const std::uint64_t size = TagInstaller(tag, err);
      out << "sfxpack: tagged " << Quoted(tag.inPlace ? tag.file : tag.output) << " (" << size << " bytes)\n";
      return 0;
    }
    case Command::Version:
      out << "sfxpack " << SfxpackVersion() << '\n';
      PrintStubVersions(StubFolders(), out);
      return 0;
    case Command::Help:
      break;
  }
  PrintHelp(out, invocation.helpFor);
  return 0;
}

}  // namespace

int RunSfxpack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  try {
    return Run(ParseCommandLine(args), out, err);
  } catch (const Interrupted& e) {
    err << "sfxpack: interrupted; nothing written, temporary files removed\n";
    return 128 + e.signal();
  } catch (const ExamineError& e) {
    err << "sfxpack: error: " << e.what() << '\n';
    return 3;
  } catch (const UsageError& e) {
    // A script that asked for JSON gets its object, even for a command line
    // that could not be read.
    const auto end = std::find(args.begin(), args.end(), "--");
    if (std::find(args.begin(), end, "--json") != end) PrintJsonError({}, e.what(), out);
    err << "sfxpack: error: " << e.what() << "\nRun \"sfxpack --help\" for usage.\n";
    return 2;
  } catch (const std::exception& e) {
    err << "sfxpack: error: " << e.what() << '\n';
    return 1;
  }
}

}  // namespace sfxpack
