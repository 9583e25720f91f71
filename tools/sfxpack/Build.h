// The build command: stub, configuration and archive into one installer.
#pragma once

#include <cstdint>
#include <ostream>

#include "CommandLine.h"

namespace sfxpack {

// Writes the installer that the options describe and returns its size.
// Every check runs before the output is touched; a failure throws
// PackError and leaves no output behind (an existing one stays as it was).
// Notes about changes made to the inputs go to notes.
std::uint64_t BuildInstaller(const BuildOptions& options, std::ostream& notes);

}  // namespace sfxpack
