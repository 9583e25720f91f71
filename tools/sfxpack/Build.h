// The build command: stub, configuration and archive into one installer.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>

#include <vector>

#include "CommandLine.h"
#include "Warnings.h"

namespace sfxpack {

struct BuildResult {
  std::uint64_t size = 0;
  std::vector<Warning> warnings;
};

// Writes the installer that the options describe and returns its size and
// the warnings given.
// Every check runs before the output is touched; a failure throws
// PackError and leaves no output behind (an existing one stays as it was).
// Warnings and notes go to notes; with options.strict a warning fails the
// build.
BuildResult BuildInstaller(const BuildOptions& options, std::ostream& notes);

// build --json: the installer written, its SHA-256 and LZMA2 blocks, and
// the warnings, as one JSON object.
void PrintJsonBuild(const std::filesystem::path& output, const BuildResult& result, std::ostream& out);

// SOURCE_DATE_EPOCH, when it is set; throws PackError when it is no count
// of seconds.
std::optional<std::int64_t> SourceDateEpoch();

}  // namespace sfxpack
