#include "Inspect.h"

#include <algorithm>
#include <fstream>
#include <iomanip>
#include <vector>

#include <boost/locale/encoding_utf.hpp>

#include "Archiver.h"
#include "Errors.h"
#include "FileIo.h"
#include "Layout.h"
#include "StubImage.h"
#include "core/payload/Lzma2Blocks.h"
#include "core/payload/PayloadFormat.h"
#include "core/pe/ResourceSection.h"

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

void ReadBranding(const std::vector<std::uint8_t>& bytes, InstallerReport& r) {
  const auto resources = kestlib::ReadResources(bytes.data(), bytes.size());
  if (!resources) return;
  for (const kestlib::Resource& res : *resources) {
    if (!res.type.name.empty() || !res.name.name.empty()) continue;
    if (res.type.id == kestlib::kResourceTypeVersion && !r.version)
      r.version = kestlib::ReadVersionInfo(res.data.data(), res.data.size());
    if (res.type.id == kestlib::kResourceTypeGroupIcon && res.name.id == 128 && res.data.size() >= 6)
      r.iconImages = res.data[4] | res.data[5] << 8;
  }
}

void Row(std::ostream& out, const char* label) { out << std::left << std::setw(21) << label; }

std::optional<std::uint64_t> CountBlocks(const std::filesystem::path& path, const InstallerReport& r) {
  std::ifstream in(path, std::ios::binary);
  return payload::CountLzma2Blocks([&](std::uint64_t offset, std::uint8_t* out, std::size_t count) {
    if (offset > r.archiveLength || count > r.archiveLength - offset) return false;
    in.clear();
    in.seekg(static_cast<std::streamoff>(r.archiveOffset + offset));
    return static_cast<bool>(in.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(count)));
  });
}

}  // namespace

void CopyRange(const std::filesystem::path& from, std::uint64_t offset, std::uint64_t length,
               const std::filesystem::path& to) {
  std::ifstream in(from, std::ios::binary);
  std::ofstream out(to, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  std::vector<char> chunk(1 << 20);
  for (std::uint64_t left = length; left > 0 && in && out;) {
    const std::size_t part = static_cast<std::size_t>(std::min<std::uint64_t>(left, chunk.size()));
    in.read(chunk.data(), static_cast<std::streamsize>(part));
    out.write(chunk.data(), in.gcount());
    left -= part;
  }
  if (!in || !out) throw PackError("cannot copy the archive of " + Quoted(from) + " for 7-Zip");
}

std::string VersionText(const kestlib::FileVersion& v) {
  return std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) + "." + std::to_string(v[3]);
}

namespace {

InstallerReport ReadLayout(const std::filesystem::path& path) {
  InstallerReport r;
  r.fileSize = InputFileSize(path, "file");
  std::vector<std::uint8_t> bytes = ReadFilePrefix(path, payload::kBlockWindow, "file");
  kestlib::PeImage image;
  const kestlib::PeError error = kestlib::ParsePeImage(bytes.data(), bytes.size(), image);
  if (error != kestlib::PeError::None)
    throw PackError(Quoted(path) + " is not a Windows program (PE image): " + kestlib::DescribePeError(error));
  const auto block = payload::FindConfigBlock(bytes.data(), bytes.size());
  // A marker in a file read to its end: the download stopped inside the block.
  if (!block && bytes.size() == r.fileSize && payload::FindAnyMarker(bytes.data(), bytes.size()))
    throw PackError(Quoted(path) + " is truncated: its configuration block begins but does not end (" +
                    std::to_string(r.fileSize) + " bytes); download or build it again");
  if (!block)
    throw PackError(Quoted(path) + " holds no configuration block: no start marker with an " +
                    "end marker behind it in its first 20 MiB. Is it a built installer?");

  r.imageKind = ImageKind(image);
  r.stubArchitecture = StubArchitecture(image);
  r.imageEnd = kestlib::ImageEnd(image);
  r.blockOffset = block->offset;
  r.blockLength = block->length;
  r.archiveOffset = block->offset + block->length + payload::kEndMarkerSize;
  r.certificate = kestlib::CertificateTable(image);
  r.archiveLength = ArchiveEnd(r) - r.archiveOffset;
  r.archiveSignature = HasSignatureAt(bytes, r.archiveOffset);
  r.verifyValue = ReadVerifyValue(bytes, image);
  r.configText = payload::DecipherBlock(bytes.data() + block->offset, block->length);
  r.forwarded = ReadForwarded(path, bytes, image, r.fileSize);
  r.signatures = ReadSignatures(path, image, r.certificate, r.fileSize);
  ReadBranding(bytes, r);
  r.lzma2Blocks = CountBlocks(path, r);
  r.head = std::move(bytes);
  r.image = std::move(image);
  return r;
}

}  // namespace

InstallerReport ReadInstaller(const std::filesystem::path& path) {
  try {
    return ReadLayout(path);
  } catch (const PackError& e) {
    throw ExamineError(e.what());
  }
}

std::vector<std::string> Mismatches(const InstallerReport& r) {
  if (const std::optional<std::string> fault = SizeLimitFault(r.fileSize)) return {*fault};
  if (r.certificate) {
    const std::uint64_t end = std::uint64_t{r.certificate->address} + r.certificate->size;
    if (end == r.fileSize) return {};
    return {"the certificate table ends at " + std::to_string(end) + ", but the file has " +
            std::to_string(r.fileSize) + " bytes"};
  }
  if (!r.verifyValue) return {"_HLV_VERIFY is missing or not 8 bytes long"};
  if (*r.verifyValue == r.fileSize) return {};
  return {"_HLV_VERIFY records " + std::to_string(*r.verifyValue) + " bytes, but the file has " +
          std::to_string(r.fileSize)};
}

void ListItems(const std::filesystem::path& path, InstallerReport& r) {
  try {
    const std::optional<std::filesystem::path> sevenZip = FindSevenZip();
    if (!sevenZip) throw PackError("--list needs 7-Zip (7zz or 7z) on the PATH or in SFXPACK_7Z");
    RemoveOnExit copy(TemporaryFolder() / ("sfxpack-" + RandomName() + ".7z"));
    CopyRange(path, r.archiveOffset, r.archiveLength, copy.path());
    PayloadPaths listed = ListArchive(*sevenZip, copy.path(), "the archive of " + Quoted(path));
    r.items = std::move(listed.folders);
    r.items->insert(r.items->end(), listed.files.begin(), listed.files.end());
  } catch (const PackError& e) {
    r.listError = e.what();
  }
}

void PrintReport(const InstallerReport& r, std::ostream& out) {
  Row(out, "image");
  out << r.imageKind
      << (r.stubArchitecture ? " (the " + std::string(FindStubKind(*r.stubArchitecture)->label) + " stub)" : std::string(" (not a setupsfx stub)"))
      << '\n';
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
  Row(out, "LZMA2 blocks");
  if (r.lzma2Blocks)
    out << *r.lzma2Blocks << " (the installer decodes up to that many at once)\n";
  else
    out << "unknown (not all LZMA2, encrypted or damaged)\n";
  Row(out, "certificate table");
  if (r.certificate)
    out << "offset " << r.certificate->address << ", " << r.certificate->size << " bytes\n";
  else
    out << "none\n";
  Row(out, "signatures");
  out << (r.signatures.empty() ? "none (unsigned)" : std::to_string(r.signatures.size()))
      << (r.signatures.empty() ? "\n" : " (the certificates' trust is not checked)\n");
  for (const SignatureCheck& check : r.signatures)
    out << "  " << std::string(2 * check.depth, ' ') << (check.digestAlgorithm.empty() ? "unknown digest" : check.digestAlgorithm)
        << (check.problem ? ": does not pass: " + *check.problem : ": matches the file") << '\n';
  Row(out, "_HLV_VERIFY");
  if (!r.verifyValue)
    out << "missing or not 8 bytes long\n";
  else if (r.certificate)  // signing grew the file; its table's end is checked instead
    out << *r.verifyValue << " (the size before signing; the installer checks the certificate table's end)\n";
  else if (*r.verifyValue == r.fileSize)
    out << *r.verifyValue << " (matches the file size)\n";
  else
    out << *r.verifyValue << " (does not match the file size " << r.fileSize << ")\n";
  PrintForwarded(r.forwarded, out);
  Row(out, "icon");
  out << r.iconImages << (r.iconImages == 1 ? " image\n" : " images\n");
  Row(out, "version");
  if (r.version) {
    out << "file " << VersionText(r.version->fileVersion) << ", product "
        << VersionText(r.version->productVersion) << '\n';
    for (const auto& [key, value] : r.version->strings)
      out << "  " << boost::locale::conv::utf_to_utf<char>(key) << '=' << boost::locale::conv::utf_to_utf<char>(value)
          << '\n';
  } else {
    out << "none\n";
  }
  if (r.items) {
    Row(out, "archive items");
    out << r.items->size() << '\n';
    for (const std::string& item : *r.items) out << "  " << item << '\n';
  }
  out << "configuration text:\n" << r.configText;
  if (!r.configText.empty() && r.configText.back() != '\n') out << '\n';
}

}  // namespace sfxpack
