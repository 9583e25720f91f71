// The configuration checked against what the installer reads: mistakes it
// would pass over silently become warnings that name the line.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "PayloadPaths.h"
#include "Warnings.h"

namespace sfxpack {

// Unknown sections and keys (with the nearest known name), entries that
// no section reads and lines the installer ignores.
void ReviewConfigLines(const std::string& text, const std::filesystem::path& path, Warnings& warnings);

// Each setup file name (per language too) that names a relative file the
// payload does not hold, in its folder or in "product/" as the installer
// also looks, or that names a folder of it.
void ReviewSetupFiles(const std::string& text, const PayloadPaths& payload, Warnings& warnings);

}  // namespace sfxpack
