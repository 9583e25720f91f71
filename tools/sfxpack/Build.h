// The build command: stub, configuration and archive into one installer.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>

#include "CommandLine.h"

namespace sfxpack {

// Writes the installer that the options describe and returns its size.
// Every check runs before the output is touched; a failure throws
// PackError and leaves no output behind (an existing one stays as it was).
// Warnings and notes go to notes; with options.strict a warning fails the
// build.
std::uint64_t BuildInstaller(const BuildOptions& options, std::ostream& notes);

// SOURCE_DATE_EPOCH, when it is set; throws PackError when it is no count
// of seconds.
std::optional<std::int64_t> SourceDateEpoch();

}  // namespace sfxpack
