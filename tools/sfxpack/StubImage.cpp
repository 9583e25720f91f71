#include "StubImage.h"

#include <algorithm>

#include <string>

#include "Errors.h"
#include "FileIo.h"
#include "core/payload/PayloadFormat.h"
#include "core/pe/PeChecksum.h"
#include "core/pe/PeImage.h"

namespace sfxpack {
namespace {

const char16_t kVerifyName[] = u"_HLV_VERIFY";
constexpr std::uint32_t kVerifySize = 8;

void RefuseBytesBehindImage(const std::filesystem::path& path, const kestlib::PeImage& image,
                            std::uint64_t imageEnd, std::uint64_t fileSize) {
  const std::string what = "stub " + Quoted(path);
  if (imageEnd > fileSize)
    throw PackError(what + " is truncated: its sections end at offset " + std::to_string(imageEnd) +
                    " but the file has " + std::to_string(fileSize) + " bytes");
  if (imageEnd == fileSize) return;
  if (const auto certificate = kestlib::CertificateTable(image))
    throw PackError(what + " is signed (certificate table at offset " +
                    std::to_string(certificate->address) + ", " +
                    std::to_string(certificate->size) +
                    " bytes): build from the unsigned stub and sign the finished installer");
  throw PackError(what + " carries " + std::to_string(fileSize - imageEnd) +
                  " bytes behind its image end at offset " + std::to_string(imageEnd) +
                  ": use the bare stub");
}

std::size_t LocateVerify(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes,
                         const kestlib::PeImage& image) {
  const auto verify = kestlib::LocateResource(bytes.data(), bytes.size(), image, kestlib::kResourceTypeRcdata,
                                              kVerifyName);
  if (!verify)
    throw PackError("stub " + Quoted(path) + " has no RCDATA resource _HLV_VERIFY");
  if (verify->size != kVerifySize)
    throw PackError("stub " + Quoted(path) + " has a _HLV_VERIFY resource of " +
                    std::to_string(verify->size) + " bytes; it must have 8");
  return verify->offset;
}

}  // namespace

const std::vector<StubKind>& StubKinds() {
  static const std::vector<StubKind> kinds = {
      {"x86", "x86", "setupsfx.exe", kestlib::kPe32Magic, kestlib::kMachineI386},
      {"x64", "x64", "setupsfx64.exe", kestlib::kPe32PlusMagic, kestlib::kMachineAmd64},
      {"arm64", "ARM64", "setupsfxarm64.exe", kestlib::kPe32PlusMagic, kestlib::kMachineArm64}};
  return kinds;
}

const StubKind* FindStubKind(const std::string& architecture) {
  for (const StubKind& kind : StubKinds())
    if (architecture == kind.architecture) return &kind;
  return nullptr;
}

std::optional<std::string> StubArchitecture(const kestlib::PeImage& image) {
  for (const StubKind& kind : StubKinds())
    if (image.magic == kind.magic && image.machine == kind.machine) return std::string(kind.architecture);
  return std::nullopt;
}

std::string ImageKind(const kestlib::PeImage& image) {
  return std::string(image.magic == kestlib::kPe32PlusMagic ? "PE32+" : "PE32") + ", " +
         kestlib::MachineName(image.machine);
}

StubImage LoadStub(const std::filesystem::path& path) {
  const std::uint64_t fileSize = InputFileSize(path, "stub");
  StubImage stub;
  // The image must end below the 20 MiB the installer scans, so a larger
  // file is refused below without reading all of it.
  stub.bytes = ReadFilePrefix(path, payload::kBlockWindow, "stub");
  const std::uint8_t* data = stub.bytes.data();
  const std::size_t size = stub.bytes.size();

  kestlib::PeImage& image = stub.image;
  const kestlib::PeError error = kestlib::ParsePeImage(data, size, image);
  if (error != kestlib::PeError::None)
    throw PackError("stub " + Quoted(path) + " is not a Windows program (PE image): " +
                    kestlib::DescribePeError(error));
  switch (kestlib::FindHybridCode(data, size, image)) {
    case kestlib::HybridCode::Arm64EC:
      throw PackError("stub " + Quoted(path) + " is an ARM64EC image (x64 code built to run beside ARM64 code); " +
                      "use setupsfxarm64.exe for Windows on ARM");
    case kestlib::HybridCode::Arm64X:
      throw PackError("stub " + Quoted(path) + " is an ARM64X image (ARM64 and ARM64EC code in one); " +
                      "use setupsfxarm64.exe, which is plain ARM64");
    case kestlib::HybridCode::None: break;
  }
  if (!StubArchitecture(image))
    throw PackError("stub " + Quoted(path) + " is an image for " + ImageKind(image) +
                    "; setupsfx stubs are PE32 for x86 (setupsfx.exe), PE32+ for x64 (setupsfx64.exe) " +
                    "or PE32+ for ARM64 (setupsfxarm64.exe)");
  if (const auto marker = payload::FindAnyMarker(data, size))
    throw PackError("stub " + Quoted(path) + " already holds a payload marker at offset " +
                    std::to_string(*marker) + ": is it a built installer? Use the bare stub");
  RefuseBytesBehindImage(path, image, kestlib::ImageEnd(image), fileSize);
  if (fileSize > size)
    throw PackError("stub " + Quoted(path) + " is larger than 20 MiB; the installer could not " +
                    "find its configuration behind it");

  stub.architecture = *StubArchitecture(image);
  stub.verifyOffset = LocateVerify(path, stub.bytes, image);
  stub.checksumOffset = image.optionalHeader + kestlib::kChecksumFieldOffset;
  std::fill_n(stub.bytes.begin() + static_cast<std::ptrdiff_t>(stub.checksumOffset), 4, 0);
  return stub;
}

void ReplaceStubImage(StubImage& stub, std::vector<std::uint8_t> bytes,
                      const std::filesystem::path& path) {
  // A marker in a new resource (an icon's bytes) would be found before the
  // real block.
  if (const auto marker = payload::FindAnyMarker(bytes.data(), bytes.size()))
    throw PackError("the branding of stub " + Quoted(path) + " puts a payload marker into its resources (offset " +
                    std::to_string(*marker) + "); the installer would take it for its configuration");
  kestlib::PeImage image;
  if (kestlib::ParsePeImage(bytes.data(), bytes.size(), image) != kestlib::PeError::None)
    throw PackError("stub " + Quoted(path) + " is no longer a PE image after its resources were rewritten");
  const std::size_t verifyOffset = LocateVerify(path, bytes, image);
  stub.bytes = std::move(bytes);
  stub.image = std::move(image);
  stub.verifyOffset = verifyOffset;
  std::fill_n(stub.bytes.begin() + static_cast<std::ptrdiff_t>(stub.checksumOffset), 4, 0);
}

void RecordFileSize(StubImage& stub, std::uint64_t size) {
  for (std::uint32_t i = 0; i < kVerifySize; ++i)
    stub.bytes[stub.verifyOffset + i] = static_cast<std::uint8_t>(size >> (8 * i));
}

}  // namespace sfxpack
