// Building installers for the end-to-end tests with the real sfxpack.
#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace testsupport {

constexpr unsigned long kTimeLimit = 30000;

// Packs stub + configuration text + an archive (the sample one unless
// given) into output; fails the calling test when sfxpack does.
void PackInstaller(const std::filesystem::path& stub, const std::string& config,
                   const std::filesystem::path& output,
                   const std::filesystem::path& archive = SETUPSFX_SAMPLE_ARCHIVE);

// The "field=value" lines that the probe build of the stub wrote.
std::map<std::string, std::string> ReadProbe(const std::filesystem::path& file);

// A path as UTF-8, for comparing with what the probe wrote.
std::string Utf8(const std::filesystem::path& path);

}  // namespace testsupport
