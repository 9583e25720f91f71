#include "setup/startup/SetupFile.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

#include "setup/payload/ResourceFile.h"
#include "kestlib/Holders.h"
#include "kestlib/Hresult.h"
#include "core/pe/PeImage.h"

namespace {

// The headers lie at the start; the archive behind them is never read.
constexpr std::uint64_t kHeaderWindow = 0x100000;
constexpr wchar_t kSizeResource[] = L"_HLV_VERIFY";

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

std::optional<std::uint64_t> DeclaredSizeResource(HANDLE file) {
  std::vector<std::uint8_t> bytes;
  if (FAILED(ReadResourceFromOpenFile(file, kestlib::kResourceTypeRcdata, kSizeResource, bytes)) || bytes.size() != 8) {
    return std::nullopt;
  }
  std::uint64_t size = 0;
  for (int i = 7; i >= 0; --i) size = size << 8 | bytes[static_cast<std::size_t>(i)];
  return size;
}

}  // namespace

std::wstring SetupFileError(const std::wstring& path, const kestlib::IStringResources& strings) {
  // Every start pays for this check: one plain open, no waiting.
  const kestlib::UniqueFile file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return ReadError(strings, kestlib::HresultFromLastError());

  // The size of the open file itself: the same file the headers come from,
  // and a failure to learn it is an error, never a size to compare.
  LARGE_INTEGER fileSize{};
  if (!GetFileSizeEx(file.get(), &fileSize)) return ReadError(strings, kestlib::HresultFromLastError());
  const auto actual = static_cast<std::uint64_t>(fileSize.QuadPart);
  // An empty file cannot be mapped.
  if (actual < 2) return L"File does not have EXE format.";

  // Never more than the file holds: a read-only mapping cannot grow it.
  kestlib::MappedView view;
  const HRESULT hr = view.Map(file.get(), static_cast<std::uint32_t>(std::min(actual, kHeaderWindow)), 0, 0,
                              PAGE_READONLY, FILE_MAP_READ);
  if (FAILED(hr)) return ReadError(strings, hr);
  if (view.base()[0] != 'M' || view.base()[1] != 'Z') return L"File does not have EXE format.";

  kestlib::PeImage image;
  const kestlib::PeError peError = kestlib::ParsePeImage(view.base(), view.size(), image);
  if (peError == kestlib::PeError::NoDosHeader || peError == kestlib::PeError::PeHeaderOutOfRange ||
      peError == kestlib::PeError::NoPeSignature) {
    return L"Invalid PE signature.";
  }

  // A signed file carries its certificate table last. Summed in 64 bits so
  // that hostile values cannot wrap around to the actual size.
  std::optional<std::uint64_t> expected;
  if (peError == kestlib::PeError::None) {
    if (const auto certificates = kestlib::CertificateTable(image)) {
      expected = std::uint64_t{certificates->address} + certificates->size;
    }
  }
  // Read through the handle already held: a second open could only add a
  // wait for a scanner that has let the file go once already.
  if (!expected) expected = DeclaredSizeResource(file.get());
  if (!expected) return L"Resource _HLV_VERIFY is not found.";

  if (*expected == actual) return {};
  return strings.GetText(L"SfxErrorBadArchive") + L"\n\n" + SizeText(strings, *expected, actual);
}
