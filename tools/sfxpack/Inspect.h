// The inspect command: what a built installer holds and where.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "Forwarding.h"
#include "Signatures.h"
#include "core/pe/PeImage.h"
#include "core/pe/VersionInfo.h"

namespace sfxpack {

struct InstallerReport {
  // The first 20 MiB of the file, read once, and its PE image: every later
  // look at the file's start reads these, so all of them see the same bytes.
  std::vector<std::uint8_t> head;
  kestlib::PeImage image;
  std::string imageKind;                         // "PE32, x86"
  std::optional<std::string> stubArchitecture;  // "x86", "x64" or "arm64"
  std::uint64_t fileSize = 0;
  std::uint64_t imageEnd = 0;
  std::uint64_t blockOffset = 0;
  std::uint64_t blockLength = 0;
  std::uint64_t archiveOffset = 0;
  std::uint64_t archiveLength = 0;  // up to the certificate table or the end of the file
  bool archiveSignature = false;    // the 7z signature stands at archiveOffset
  std::optional<kestlib::DataDirectory> certificate;
  std::vector<SignatureCheck> signatures;  // outer first; empty when unsigned
  std::optional<std::uint64_t> verifyValue;  // _HLV_VERIFY, when it is 8 bytes long
  std::string configText;
  ForwardedReport forwarded;
  std::optional<std::vector<std::string>> items;  // the archive's paths, when listed
  std::optional<std::string> listError;            // why 7-Zip could not list them
  std::optional<kestlib::VersionInfo> version;     // the version resource
  std::size_t iconImages = 0;                      // images of the icon group 128
  std::optional<std::uint64_t> lzma2Blocks;        // when the archive is all LZMA2
};

// Reads the layout of an installer the way the installer finds it: the
// first block within the first 20 MiB. Throws ExamineError for a file that
// cannot be read, is not a PE image or holds no block.
InstallerReport ReadInstaller(const std::filesystem::path& path);

// Where the file does not match what it records of itself, as the
// installer's completeness check sees it: the end of its certificate table
// or, unsigned, its _HLV_VERIFY size against the file size; and a size
// that Windows does not run. Empty when it matches.
std::vector<std::string> Mismatches(const InstallerReport& report);

// Lists the archive's items through 7-Zip into report.items, or says in
// report.listError why 7-Zip could not.
void ListItems(const std::filesystem::path& path, InstallerReport& report);

// Copies length bytes from offset of the installer at from into the new
// file to, where 7-Zip can read the archive alone.
void CopyRange(const std::filesystem::path& from, std::uint64_t offset, std::uint64_t length,
               const std::filesystem::path& to);

// What inspect --json prints for a file it cannot examine (and any --json
// run for a command line it cannot read): the file, the error, no warnings.
void PrintJsonError(const std::filesystem::path& path, const std::string& error, std::ostream& out);

// "1.2.3.4".
std::string VersionText(const kestlib::FileVersion& version);

void PrintReport(const InstallerReport& report, std::ostream& out);
void PrintJsonReport(const InstallerReport& report, std::ostream& out);

}  // namespace sfxpack
