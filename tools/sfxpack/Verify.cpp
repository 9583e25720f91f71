#include "Verify.h"

#include <algorithm>
#include <fstream>

#include <boost/locale/encoding_utf.hpp>

#include "ArchiveCoders.h"
#include "Archiver.h"
#include "ConfigReview.h"
#include "ConfigText.h"
#include "Errors.h"
#include "FileIo.h"
#include "Inspect.h"
#include "Warnings.h"
#include "core/handoff/ForwardedDataFormat.h"
#include "core/payload/ConfigKeys.h"
#include "core/payload/ConfigStore.h"
#include "core/payload/PayloadFormat.h"
#include "core/pe/PeChecksum.h"
#include "core/pe/PeImage.h"

namespace fs = std::filesystem;

namespace sfxpack {
namespace {

// The 7z start header: signature, format version, CRC of the next 20
// bytes, then offset (behind this header) and size of the archive's own
// header, which ends the archive.
constexpr std::size_t kStartHeaderSize = 32;
constexpr std::uint8_t kMaxMinorVersion = 4;  // what 7-Zip writes, 0.4
// A signature's certificate table starts on an 8-byte boundary.
constexpr std::uint64_t kCertificateAlignment = 8;

std::uint64_t ReadLe(const std::uint8_t* at, std::size_t count) {
  std::uint64_t value = 0;
  for (std::size_t i = count; i-- > 0;) value = value << 8 | at[i];
  return value;
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

std::vector<std::uint8_t> ReadAt(const fs::path& path, std::uint64_t offset, std::size_t count) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes(count);
  if (!in.seekg(static_cast<std::streamoff>(offset)) ||
      !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count)))
    throw ExamineError("cannot read " + Quoted(path));
  return bytes;
}

// The length of the trailing data block at the start of bytes; 0 when none
// begins there.
std::size_t TrailingBlockEnd(const std::vector<std::uint8_t>& bytes) {
  const std::vector<std::uint8_t> start = forwarded::MakeBlockStartMarker();
  const std::vector<std::uint8_t> end = forwarded::MakeBlockEndMarker();
  if (bytes.size() < start.size() || !std::equal(start.begin(), start.end(), bytes.begin())) return 0;
  const auto found = std::search(bytes.begin() + static_cast<std::ptrdiff_t>(start.size()), bytes.end(),
                                 end.begin(), end.end());
  return found == bytes.end() ? 0 : static_cast<std::size_t>(found - bytes.begin()) + end.size();
}

class Verifier {
 public:
  Verifier(const fs::path& path, std::ostream& notes)
      : path_(path), notes_(notes), report_(ReadInstaller(path)) {}

  Verification Run() {
    CheckImage();
    CheckChecksum();
    CheckSignatures();
    const bool configUsable = CheckConfigBlock();
    for (std::string& mismatch : Mismatches(report_)) Fault(std::move(mismatch));
    const std::optional<PayloadPaths> paths = CheckArchive();
    CheckSlots();
    if (configUsable) ReviewConfig(paths);
    if (!result_.faults.empty()) result_.unchecked.reset();
    return std::move(result_);
  }

 private:
  void Fault(std::string text) { result_.faults.push_back(std::move(text)); }
  void Note(const std::string& text) { notes_ << "sfxpack: note: " << Quoted(path_) << ": " << text << '\n'; }

  void CheckImage() {
    if (!report_.stubArchitecture)
      Fault("the image is " + report_.imageKind +
            ", not a setupsfx stub (PE32 for x86, PE32+ for x64 or ARM64)");
    const std::uint64_t marker = report_.blockOffset - payload::kStartMarkerSize;
    if (marker != report_.imageEnd)
      Fault("the start marker stands at offset " + std::to_string(marker) + ", not at the image end " +
            std::to_string(report_.imageEnd));
  }

  // sfxpack and signing tools record the checksum of the whole file: any
  // byte changed since then shows here, wherever it is.
  void CheckChecksum() {
    const std::size_t field = report_.image.optionalHeader + kestlib::kChecksumFieldOffset;
    const auto recorded = static_cast<std::uint32_t>(ReadLe(report_.head.data() + field, 4));
    if (recorded == 0) {
      Note("no PE checksum is recorded, so changed bytes show only where a check below covers them");
      return;
    }
    kestlib::PeChecksum sum;
    std::ifstream in(path_, std::ios::binary);
    std::vector<char> chunk(1 << 20);
    for (std::uint64_t done = 0; done < report_.fileSize;) {
      const std::size_t part = static_cast<std::size_t>(std::min<std::uint64_t>(report_.fileSize - done, chunk.size()));
      if (!in.read(chunk.data(), static_cast<std::streamsize>(part))) throw ExamineError("cannot read " + Quoted(path_));
      auto* data = reinterpret_cast<std::uint8_t*>(chunk.data());
      for (std::size_t i = 0; i < 4; ++i)
        if (field + i >= done && field + i < done + part) data[field + i - done] = 0;
      sum.Add(data, part);
      done += part;
    }
    if (sum.Finish() != recorded)
      Fault("the PE checksum does not match the file's bytes: the file was changed after it was written");
  }

  void CheckSignatures() {
    if (report_.signatures.empty()) return;
    std::string digests;
    for (const SignatureCheck& check : report_.signatures) {
      if (check.problem) Fault(SignatureName(check) + " does not pass: " + *check.problem);
      digests += (digests.empty() ? "" : ", ") + (check.digestAlgorithm.empty() ? "unknown" : check.digestAlgorithm);
    }
    result_.digests = digests;
  }

  // Whether the text is fit for the configuration's own review.
  bool CheckConfigBlock() {
    const std::size_t length = report_.blockLength;
    const std::uint8_t* block = report_.head.data() + report_.blockOffset;
    const std::string what = "the configuration block";
    if (length <= payload::kCipherBlock || (length - payload::kCipherBlock) % payload::kCipherBlock != 0) {
      Fault(what + " has " + std::to_string(length) +
            " bytes, not an IV and whole cipher blocks; the installer would run with an empty configuration");
      return false;
    }
    const std::string& text = report_.configText;
    payload::Iv iv{};
    std::copy(block, block + iv.size(), iv.begin());
    // sfxpack pads every text alike: a damaged end deciphers to other padding.
    if (payload::EncipherText(text, iv) != std::vector<std::uint8_t>(block, block + length)) {
      Fault(what + " is damaged: its last cipher block does not decipher to valid padding");
      return false;
    }
    if (text.find('\0') != std::string::npos) {
      Fault(what + " deciphers to text holding NUL bytes: it is damaged");
      return false;
    }
    if (const auto line = FirstLineNotUtf8(text)) {
      Fault(what + " deciphers to text that is not valid UTF-8 (line " + std::to_string(*line) +
            "): it is damaged, and the installer would refuse it");
      return false;
    }
    return true;
  }

  // The archive's paths, when 7-Zip could read them.
  std::optional<PayloadPaths> CheckArchive() {
    if (!report_.archiveSignature) {
      Fault("no 7z signature at the archive's offset " + std::to_string(report_.archiveOffset) +
            "; the installer would find no archive");
      return std::nullopt;
    }
    std::uint64_t length = report_.archiveLength;
    if (length < kStartHeaderSize) {
      Fault("the archive has only " + std::to_string(length) + " bytes; it is cut short");
      return std::nullopt;
    }
    const std::vector<std::uint8_t> header = ReadAt(path_, report_.archiveOffset, kStartHeaderSize);
    if (Crc32(header.data() + 12, 20) != ReadLe(header.data() + 8, 4))
      Fault("the archive's start header is damaged: its CRC does not match");
    else if (header[6] != 0 || header[7] > kMaxMinorVersion)
      Fault("the archive's format version " + std::to_string(header[6]) + "." + std::to_string(header[7]) +
            " is not one 7-Zip writes; the header is damaged");
    else
      length = CheckArchiveEnd(ReadLe(header.data() + 12, 8), ReadLe(header.data() + 20, 8));
    return TestWithSevenZip(length);
  }

  // The archive's length by its start header, once what follows it is
  // checked: a trailing data block and, when signed, the signature's
  // alignment may follow, nothing else.
  std::uint64_t CheckArchiveEnd(std::uint64_t headerOffset, std::uint64_t headerSize) {
    const std::uint64_t range = report_.archiveLength;
    if (headerOffset > range || headerSize > range - headerOffset || kStartHeaderSize > range - headerOffset - headerSize) {
      Fault("the archive is cut short: its start header says it runs beyond the " + std::to_string(range) +
            " bytes that follow the end marker");
      return range;
    }
    const std::uint64_t end = kStartHeaderSize + headerOffset + headerSize;
    const std::uint64_t tail = range - end;
    if (tail == 0) return end;
    const std::size_t readable = static_cast<std::size_t>(std::min<std::uint64_t>(tail, forwarded::kTrailingWindow + kCertificateAlignment));
    const std::vector<std::uint8_t> after = ReadAt(path_, report_.archiveOffset + end, readable);
    const std::size_t used = report_.forwarded.block == forwarded::BlockResult::Read ? TrailingBlockEnd(after) : 0;
    const bool padding = report_.certificate && tail - used < kCertificateAlignment &&
                         std::all_of(after.begin() + static_cast<std::ptrdiff_t>(used), after.end(),
                                     [](std::uint8_t b) { return b == 0; });
    if (used != tail && !padding)
      Fault(std::to_string(tail - used) + " bytes follow the archive's end at offset " +
            std::to_string(report_.archiveOffset + end + used) +
            " that are neither a trailing data block nor a signature's alignment");
    return end;
  }

  std::optional<PayloadPaths> TestWithSevenZip(std::uint64_t length) {
    const std::optional<fs::path> sevenZip = FindSevenZip();
    if (!sevenZip) {
      result_.unchecked = "cannot test the archive of " + Quoted(path_) +
                          ": no 7-Zip (7zz or 7z) on the PATH and no SFXPACK_7Z";
      return std::nullopt;
    }
    RemoveOnExit copy(TemporaryFolder() / ("sfxpack-" + RandomName() + ".7z"));
    CopyRange(path_, report_.archiveOffset, length, copy.path());
    try {
      ArchiveTest test = TestArchive(*sevenZip, copy.path(), "the archive");
      if (!test.paths)
        Note("the archive's headers are enciphered: without the password neither its data nor the setup "
             "file names can be checked");
      else if (!test.dataTested)
        Note("the archive is enciphered: its structure was checked, its data cannot be tested without the "
             "password");
      if (test.paths) return CheckExtractable(*test.paths);
      return std::nullopt;
    } catch (const PackError& e) {
      Fault(e.what());
    }
    return std::nullopt;
  }

  // The paths the installer creates, once it can create them all as named.
  std::optional<PayloadPaths> CheckExtractable(const PayloadPaths& listed) {
    try {
      RequireExtractableItems(listed, "the archive");
      return RequireWindowsNames(listed, "the archive");
    } catch (const PackError& e) {
      Fault(e.what());
    }
    return std::nullopt;
  }

  void CheckSlots() {
    const std::vector<std::uint8_t>& head = report_.head;
    for (const std::u16string& name :
         kestlib::ListResourceNames(head.data(), head.size(), report_.image, kestlib::kResourceTypeRcdata)) {
      if (!forwarded::IsSlotName(name)) continue;
      const auto slot =
          kestlib::LocateResource(head.data(), head.size(), report_.image, kestlib::kResourceTypeRcdata, name);
      if (!slot) continue;
      const auto begin = head.begin() + static_cast<std::ptrdiff_t>(slot->offset);
      const auto end = begin + static_cast<std::ptrdiff_t>(slot->size);
      const auto zero = std::find(begin, end, std::uint8_t{0});
      const std::string value(begin, zero);
      const std::string what = "data slot " + forwarded::Utf8FromUtf16(name);
      if (!forwarded::IsUtf8(value) || value.find_first_of("\r\n") != std::string::npos)
        Fault(what + " does not hold UTF-8 text on one line; the setup would get a garbled value");
      else if (std::any_of(zero, end, [](std::uint8_t b) { return b != 0; }))
        Fault(what + " holds bytes behind the zero that ends its value; sfxpack zero-fills a slot, so it is damaged");
    }
    if (report_.forwarded.block == forwarded::BlockResult::Invalid)
      Fault("the trailing data block has no end marker or a broken escape; the installer forwards nothing from it");
  }

  // The warnings build gives, for the text as the installer will read it.
  void ReviewConfig(const std::optional<PayloadPaths>& paths) {
    Warnings warnings(notes_);
    ReviewConfigLines(report_.configText, path_, warnings);
    if (paths) ReviewSetupFiles(report_.configText, *paths, warnings);
    warnings.PrintHidden();
  }

  fs::path path_;
  std::ostream& notes_;
  // Read once: every offset it holds points into its own bytes.
  InstallerReport report_;
  Verification result_;
};

}  // namespace

Verification VerifyInstaller(const fs::path& path, std::ostream& notes) { return Verifier(path, notes).Run(); }

}  // namespace sfxpack
