#include "Sfxpack.h"

#include <cstdint>
#include <exception>

#include "Build.h"
#include "CommandLine.h"
#include "Errors.h"
#include "FileIo.h"
#include "Inspect.h"
#include "Interrupts.h"
#include "StubSearch.h"

namespace sfxpack {
namespace {

// The report first, then the mismatches as errors: exit code 1.
int Inspect(const InspectOptions& options, std::ostream& out, std::ostream& err) {
  InstallerReport report = ReadInstaller(options.file);
  if (options.list) ListItems(options.file, report);
  if (options.json)
    PrintJsonReport(report, out);
  else
    PrintReport(report, out);
  const std::vector<std::string> mismatches = Mismatches(report);
  for (const std::string& mismatch : mismatches)
    err << "sfxpack: error: " << Quoted(options.file) << ": " << mismatch
        << "; the installer would refuse to run\n";
  return mismatches.empty() ? 0 : 1;
}

int Run(const Invocation& invocation, std::ostream& out, std::ostream& err) {
  if (invocation.command == Command::Build) {
    BuildOptions options = invocation.build;
    if (options.stub.empty()) options.stub = RequireStub(options.arch.value_or("x86"), StubFolders());
    const std::uint64_t size = BuildInstaller(options, err);
    out << "sfxpack: wrote " << Quoted(invocation.build.output) << " (" << size << " bytes)\n";
  } else if (invocation.command == Command::Inspect) {
    return Inspect(invocation.inspect, out, err);
  } else if (invocation.command == Command::Version) {
    out << "sfxpack " << SfxpackVersion() << '\n';
    PrintStubVersions(StubFolders(), out);
  } else {
    PrintHelp(out);
  }
  return 0;
}

}  // namespace

int RunSfxpack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  try {
    return Run(ParseCommandLine(args), out, err);
  } catch (const Interrupted& e) {
    err << "sfxpack: interrupted; nothing written, temporary files removed\n";
    return 128 + e.signal();
  } catch (const UsageError& e) {
    err << "sfxpack: error: " << e.what() << "\nRun \"sfxpack --help\" for usage.\n";
    return 2;
  } catch (const std::exception& e) {
    err << "sfxpack: error: " << e.what() << '\n';
    return 1;
  }
}

}  // namespace sfxpack
