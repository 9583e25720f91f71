#include "setup/startup/SetupFile.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

#include "setup/payload/ResourceFile.h"

namespace {

constexpr wchar_t kSizeResource[] = L"_HLV_VERIFY";
constexpr HRESULT kNotExecutable = HRESULT_FROM_WIN32(ERROR_RESOURCE_DATA_NOT_FOUND);
constexpr HRESULT kBadImage = HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT);
constexpr wchar_t kNotExeText[] = L"File does not have EXE format.";

std::wstring ReadError(const kestlib::IStringResources& strings, HRESULT hr) {
  wchar_t code[16];
  std::swprintf(code, 16, L" (%d)", static_cast<int>(hr));
  return strings.GetText(L"SfxErrorReadArchive") + code;
}

// The table's text has two 64-bit conversions: expected, then actual.
std::wstring SizeText(const kestlib::IStringResources& strings, std::uint64_t expected, std::uint64_t actual) {
  const std::wstring format = strings.GetText(L"ErrorSize");
  std::vector<wchar_t> text(format.size() + 64);
  if (std::swprintf(text.data(), text.size(), format.c_str(), static_cast<long long>(expected),
                    static_cast<long long>(actual)) < 0) {
    // A translation whose text does not fit the numbers: shown as it stands.
    return format;
  }
  return text.data();
}

std::optional<std::uint64_t> DeclaredSizeResource(const ExecutableFile& file) {
  std::vector<std::uint8_t> bytes;
  if (FAILED(file.ReadResource(kestlib::kResourceTypeRcdata, kSizeResource, bytes)) || bytes.size() != 8) {
    return std::nullopt;
  }
  std::uint64_t size = 0;
  for (int i = 7; i >= 0; --i) size = size << 8 | bytes[static_cast<std::size_t>(i)];
  return size;
}

}  // namespace

std::wstring SetupFileError(const std::wstring& path, const kestlib::IStringResources& strings) {
  // Every start pays for this check: one plain open, no waiting.
  ExecutableFile file;
  const HRESULT hr = file.Open(path, OpenAttempts::Once);
  if (hr == kNotExecutable) return kNotExeText;
  if (FAILED(hr) && hr != kBadImage) return ReadError(strings, hr);
  const kestlib::PeError peError = file.peError();
  if (peError == kestlib::PeError::NoDosHeader || peError == kestlib::PeError::PeHeaderOutOfRange ||
      peError == kestlib::PeError::NoPeSignature) {
    return L"Invalid PE signature.";
  }
  // The size of the open file itself: the same file the headers come from.
  const std::uint64_t actual = file.size();

  // A signed file carries its certificate table last. Summed in 64 bits so
  // that hostile values cannot wrap around to the actual size.
  std::optional<std::uint64_t> expected;
  if (peError == kestlib::PeError::None) {
    if (const auto certificates = kestlib::CertificateTable(file.image())) {
      expected = std::uint64_t{certificates->address} + certificates->size;
    }
    if (!expected) expected = DeclaredSizeResource(file);
  }
  if (!expected) return L"Resource _HLV_VERIFY is not found.";

  if (*expected == actual) return {};
  return strings.GetText(L"SfxErrorBadArchive") + L"\n\n" + SizeText(strings, *expected, actual);
}
