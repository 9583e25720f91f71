#include "Inspect.h"

#include <algorithm>
#include <iomanip>
#include <vector>

#include "Errors.h"
#include "FileIo.h"
#include "core/payload/PayloadFormat.h"

namespace sfxpack {
namespace {

constexpr std::uint32_t kVerifySize = 8;

std::optional<std::uint64_t> ReadVerifyValue(const std::vector<std::uint8_t>& bytes,
                                             const kestlib::PeImage& image) {
  const auto verify = kestlib::LocateResource(bytes.data(), bytes.size(), image,
                                              kestlib::kResourceTypeRcdata, u"_HLV_VERIFY");
  if (!verify || verify->size != kVerifySize) return std::nullopt;
  std::uint64_t value = 0;
  for (std::uint32_t i = kVerifySize; i-- > 0;) value = value << 8 | bytes[verify->offset + i];
  return value;
}

bool HasSignatureAt(const std::vector<std::uint8_t>& bytes, std::uint64_t offset) {
  const auto& signature = payload::k7zSignature;
  return offset <= bytes.size() && bytes.size() - offset >= signature.size() &&
         std::equal(signature.begin(), signature.end(), bytes.begin() + offset);
}

// The archive runs up to the certificate table of a signed file.
std::uint64_t ArchiveEnd(const InstallerReport& r) {
  if (r.certificate && r.certificate->address >= r.archiveOffset &&
      r.certificate->address <= r.fileSize)
    return r.certificate->address;
  return r.fileSize;
}

void Row(std::ostream& out, const char* label) { out << std::left << std::setw(21) << label; }

}  // namespace

InstallerReport ReadInstaller(const std::filesystem::path& path) {
  InstallerReport r;
  r.fileSize = InputFileSize(path, "file");
  const std::vector<std::uint8_t> bytes = ReadFilePrefix(path, payload::kBlockWindow, "file");
  kestlib::PeImage image;
  const kestlib::PeError error = kestlib::ParsePeImage(bytes.data(), bytes.size(), image);
  if (error != kestlib::PeError::None)
    throw PackError(Quoted(path) + " is not a PE32 image: " + kestlib::DescribePeError(error));
  const auto block = payload::FindConfigBlock(bytes.data(), bytes.size());
  if (!block)
    throw PackError(Quoted(path) + " holds no configuration block: no start marker with an " +
                    "end marker behind it in its first 20 MiB. Is it a built installer?");

  r.imageEnd = kestlib::ImageEnd(image);
  r.blockOffset = block->offset;
  r.blockLength = block->length;
  r.archiveOffset = block->offset + block->length + payload::kEndMarkerSize;
  r.certificate = kestlib::CertificateTable(image);
  r.archiveLength = ArchiveEnd(r) - r.archiveOffset;
  r.archiveSignature = HasSignatureAt(bytes, r.archiveOffset);
  r.verifyValue = ReadVerifyValue(bytes, image);
  r.configText = payload::DecipherBlock(bytes.data() + block->offset, block->length);
  r.forwarded = ReadForwarded(path, bytes, r.fileSize);
  return r;
}

void PrintReport(const InstallerReport& r, std::ostream& out) {
  Row(out, "file size");
  out << r.fileSize << " bytes\n";
  Row(out, "image end");
  out << r.imageEnd << '\n';
  Row(out, "start marker");
  const std::uint64_t marker = r.blockOffset - payload::kStartMarkerSize;
  out << "offset " << marker
      << (marker == r.imageEnd ? " (at the image end)" : " (not at the image end)") << '\n';
  Row(out, "configuration block");
  out << "offset " << r.blockOffset << ", " << r.blockLength << " bytes\n";
  Row(out, "archive");
  out << "offset " << r.archiveOffset << ", " << r.archiveLength << " bytes"
      << (r.archiveSignature ? "" : " (no 7z signature there)") << '\n';
  Row(out, "certificate table");
  if (r.certificate)
    out << "offset " << r.certificate->address << ", " << r.certificate->size << " bytes\n";
  else
    out << "none\n";
  Row(out, "_HLV_VERIFY");
  if (!r.verifyValue)
    out << "missing or not 8 bytes long\n";
  else if (*r.verifyValue == r.fileSize)
    out << *r.verifyValue << " (matches the file size)\n";
  else
    out << *r.verifyValue << " (does not match the file size " << r.fileSize << ")\n";
  PrintForwarded(r.forwarded, out);
  out << "configuration text:\n" << r.configText;
  if (!r.configText.empty() && r.configText.back() != '\n') out << '\n';
}

}  // namespace sfxpack
