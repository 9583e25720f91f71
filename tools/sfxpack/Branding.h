// The installer's own icon and version information, written into the
// stub's resources: the icon group 128 with its images and the version
// resource are replaced, every other resource is kept.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "StubImage.h"

namespace sfxpack {

struct Branding {
  std::filesystem::path icon;         // an .ico file, or empty
  std::filesystem::path versionFile;  // key=value lines, or empty
  // Version keys given on the command line (ProductName, CompanyName, ...),
  // UTF-8; they win over the file's.
  std::vector<std::pair<std::string, std::string>> fields;
  bool empty() const { return icon.empty() && versionFile.empty() && fields.empty(); }
};

// The version keys that the file and the options may set.
const std::vector<std::string>& VersionKeys();

// Applies the branding to the stub. outputName is the default of
// OriginalFilename. Throws PackError for an unreadable icon, an unknown
// key, a version that is not 1 to 4 numbers, or a stub whose resource
// section cannot be rewritten.
void ApplyBranding(const Branding& branding, const std::filesystem::path& stubPath,
                   const std::string& outputName, StubImage& stub);

}  // namespace sfxpack
