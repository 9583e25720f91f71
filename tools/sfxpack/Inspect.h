// The inspect command: what a built installer holds and where.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include "Forwarding.h"
#include "core/pe/PeImage.h"

namespace sfxpack {

struct InstallerReport {
  std::uint64_t fileSize = 0;
  std::uint64_t imageEnd = 0;
  std::uint64_t blockOffset = 0;
  std::uint64_t blockLength = 0;
  std::uint64_t archiveOffset = 0;
  std::uint64_t archiveLength = 0;  // up to the certificate table or the end of the file
  bool archiveSignature = false;    // the 7z signature stands at archiveOffset
  std::optional<kestlib::DataDirectory> certificate;
  std::optional<std::uint64_t> verifyValue;  // _HLV_VERIFY, when it is 8 bytes long
  std::string configText;
  ForwardedReport forwarded;
};

// Reads the layout of an installer the way the installer finds it: the
// first block within the first 20 MiB. Throws PackError for a file that is
// not a PE32 image or holds no block.
InstallerReport ReadInstaller(const std::filesystem::path& path);

void PrintReport(const InstallerReport& report, std::ostream& out);

}  // namespace sfxpack
