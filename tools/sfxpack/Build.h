// The build command: stub, configuration and archive into one installer.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include "CommandLine.h"
#include "Warnings.h"

namespace sfxpack {

// Writes the installer that the options describe and returns its size.
// Every check runs before the output is touched; a failure throws
// PackError and leaves no output behind (an existing one stays as it was).
// Warnings go to warnings, kept there when the build fails too, notes to
// notes; with options.strict a warning fails the build.
std::uint64_t BuildInstaller(const BuildOptions& options, Warnings& warnings, std::ostream& notes);

// build --json: the installer written, its size, SHA-256 and LZMA2 blocks,
// and the warnings, as one JSON object.
void PrintJsonBuild(const std::filesystem::path& output, std::uint64_t size, const Warnings& warnings,
                    std::ostream& out);
// build --json that failed: the output named, the error and the warnings.
void PrintJsonBuildError(const std::filesystem::path& output, const std::string& error, const Warnings& warnings,
                         std::ostream& out);

// SOURCE_DATE_EPOCH, when it is set; throws PackError when it is no count
// of seconds.
std::optional<std::int64_t> SourceDateEpoch();

}  // namespace sfxpack
