#include "Sfxpack.h"

#include <cstdint>
#include <exception>

#include "Build.h"
#include "CommandLine.h"
#include "Errors.h"
#include "FileIo.h"
#include "Inspect.h"

namespace sfxpack {
namespace {

void Run(const Invocation& invocation, std::ostream& out, std::ostream& err) {
  if (invocation.command == Command::Build) {
    const std::uint64_t size = BuildInstaller(invocation.build, err);
    out << "sfxpack: wrote " << Quoted(invocation.build.output) << " (" << size << " bytes)\n";
  } else if (invocation.command == Command::Inspect) {
    PrintReport(ReadInstaller(invocation.inspectFile), out);
  } else {
    PrintHelp(out);
  }
}

}  // namespace

int RunSfxpack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  try {
    Run(ParseCommandLine(args), out, err);
    return 0;
  } catch (const UsageError& e) {
    err << "sfxpack: error: " << e.what() << "\nRun \"sfxpack --help\" for usage.\n";
    return 2;
  } catch (const std::exception& e) {
    err << "sfxpack: error: " << e.what() << '\n';
    return 1;
  }
}

}  // namespace sfxpack
