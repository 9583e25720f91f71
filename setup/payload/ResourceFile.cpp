#include "setup/payload/ResourceFile.h"

#include <algorithm>

#include "kestlib/Hresult.h"
#include "core/pe/PeImage.h"

namespace {

constexpr int kOpenAttempts = 5;
constexpr DWORD kOpenRetryPauseMs = 250;
constexpr std::uint64_t kResourceWindow = 100 * 1024 * 1024;
constexpr HRESULT kSharingViolation = HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION);
constexpr HRESULT kNotExecutable = HRESULT_FROM_WIN32(ERROR_RESOURCE_DATA_NOT_FOUND);

}  // namespace

HRESULT OpenFileWithRetry(const std::wstring& path, kestlib::UniqueFile& file) {
  HRESULT hr = S_OK;
  for (int attempt = 1; attempt <= kOpenAttempts; ++attempt) {
    // Another process (a virus scanner, the browser finishing a download)
    // may hold the file for a moment, most likely just after it appeared:
    // each attempt but the last waits before it, the first included.
    if (attempt < kOpenAttempts) Sleep(kOpenRetryPauseMs);
    file.reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr));
    if (file) return S_OK;
    hr = kestlib::HresultFromLastError();
    if (hr != kSharingViolation) break;
  }
  return hr;
}

HRESULT ReadResourceFromFile(const std::wstring& path, std::uint16_t type, const std::wstring& name,
                             std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  kestlib::UniqueFile file;
  const HRESULT hr = OpenFileWithRetry(path, file);
  if (FAILED(hr)) return hr;
  return ReadResourceFromOpenFile(file.get(), type, name, bytes);
}

HRESULT ReadResourceFromOpenFile(HANDLE file, std::uint16_t type, const std::wstring& name,
                                 std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  LARGE_INTEGER fileSize{};
  if (!GetFileSizeEx(file, &fileSize)) return kestlib::HresultFromLastError();
  // An empty file cannot be mapped; it is no executable either.
  if (fileSize.QuadPart < 2) return kNotExecutable;

  // Never more than the file holds: a read-only mapping cannot grow it.
  const auto mapped =
      static_cast<std::uint32_t>(std::min(static_cast<std::uint64_t>(fileSize.QuadPart), kResourceWindow));
  kestlib::MappedView view;
  const HRESULT hr = view.Map(file, mapped, 0, 0, PAGE_READONLY, FILE_MAP_READ);
  if (FAILED(hr)) return hr;
  const std::uint8_t* data = view.base();
  if (data[0] != 'M' || data[1] != 'Z') return kNotExecutable;

  kestlib::PeImage image;
  if (kestlib::ParsePeImage(data, view.size(), image) != kestlib::PeError::None) {
    return HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT);
  }
  static_assert(sizeof(wchar_t) == sizeof(char16_t), "resource names are UTF-16");
  const auto location = kestlib::LocateResource(
      data, view.size(), image, type, std::u16string_view(reinterpret_cast<const char16_t*>(name.data()), name.size()));
  if (!location) return HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND);

  bytes.assign(data + location->offset, data + location->offset + location->size);
  return S_OK;
}
