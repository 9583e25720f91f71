#include "setup/payload/ResourceFile.h"

#include <algorithm>

#include "kestlib/Hresult.h"

namespace {

constexpr int kOpenAttempts = 5;
constexpr DWORD kOpenRetryPauseMs = 250;
constexpr HRESULT kSharingViolation = HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION);
constexpr HRESULT kNotExecutable = HRESULT_FROM_WIN32(ERROR_RESOURCE_DATA_NOT_FOUND);
constexpr HRESULT kBadImage = HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT);

HANDLE OpenForReading(const std::wstring& path) {
  return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

}  // namespace

HRESULT OpenFileWithRetry(const std::wstring& path, kestlib::UniqueFile& file) {
  HRESULT hr = S_OK;
  for (int attempt = 1; attempt <= kOpenAttempts; ++attempt) {
    // Another process (a virus scanner, the browser finishing a download)
    // may hold the file for a moment, most likely just after it appeared:
    // each attempt but the last waits before it, the first included.
    if (attempt < kOpenAttempts) Sleep(kOpenRetryPauseMs);
    file.reset(OpenForReading(path));
    if (file) return S_OK;
    hr = kestlib::HresultFromLastError();
    if (hr != kSharingViolation) break;
  }
  return hr;
}

HRESULT ExecutableFile::Open(const std::wstring& path, OpenAttempts attempts) {
  m_view.Unmap();
  m_size = 0;
  m_image = {};
  m_peError = kestlib::PeError::NoDosHeader;
  if (attempts == OpenAttempts::RetryWhileHeld) {
    const HRESULT hr = OpenFileWithRetry(path, m_file);
    if (FAILED(hr)) return hr;
  } else {
    m_file.reset(OpenForReading(path));
    if (!m_file) return kestlib::HresultFromLastError();
  }
  // The size of the open file itself, in 64 bits: an installer may be
  // larger than 4 GiB.
  LARGE_INTEGER fileSize{};
  if (!GetFileSizeEx(m_file.get(), &fileSize)) return kestlib::HresultFromLastError();
  m_size = static_cast<std::uint64_t>(fileSize.QuadPart);
  // An empty file cannot be mapped, and two bytes are needed for "MZ".
  if (m_size < 2) return kNotExecutable;
  // Never more than the file holds: a read-only mapping cannot grow it.
  const HRESULT hr = m_view.Map(m_file.get(), static_cast<std::uint32_t>(std::min(m_size, kImageWindow)), 0, 0,
                                PAGE_READONLY, FILE_MAP_READ);
  if (FAILED(hr)) return hr;
  if (m_view.base()[0] != 'M' || m_view.base()[1] != 'Z') return kNotExecutable;
  const auto headers = static_cast<std::size_t>(std::min<std::uint64_t>(m_view.size(), kHeadersReach));
  m_peError = kestlib::ParsePeImage(m_view.base(), headers, m_image);
  return m_peError == kestlib::PeError::None ? S_OK : kBadImage;
}

HRESULT ExecutableFile::ReadResource(std::uint16_t type, const std::wstring& name,
                                     std::vector<std::uint8_t>& bytes) const {
  bytes.clear();
  static_assert(sizeof(wchar_t) == sizeof(char16_t), "resource names are UTF-16");
  const auto location =
      kestlib::LocateResource(m_view.base(), m_view.size(), m_image, type,
                              std::u16string_view(reinterpret_cast<const char16_t*>(name.data()), name.size()));
  if (!location) return HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND);
  bytes.assign(m_view.base() + location->offset, m_view.base() + location->offset + location->size);
  return S_OK;
}

std::vector<std::u16string> ExecutableFile::ResourceNames(std::uint16_t type) const {
  return kestlib::ListResourceNames(m_view.base(), m_view.size(), m_image, type);
}

HRESULT ReadResourceFromFile(const std::wstring& path, std::uint16_t type, const std::wstring& name,
                             std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  ExecutableFile file;
  const HRESULT hr = file.Open(path, OpenAttempts::RetryWhileHeld);
  if (FAILED(hr)) return hr;
  return file.ReadResource(type, name, bytes);
}
