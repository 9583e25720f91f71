#include "kestlib/Holders.h"

#include <algorithm>
#include <cstdint>

#include "kestlib/Hresult.h"

namespace kestlib {

HRESULT MappedView::Map(HANDLE file, std::uint32_t size, std::uint32_t offsetLow, std::uint32_t offsetHigh,
                        DWORD protect, DWORD access) {
  Unmap();
  LARGE_INTEGER fileSize{};
  if (!GetFileSizeEx(file, &fileSize)) return HresultFromLastError();
  const auto length = static_cast<std::uint64_t>(fileSize.QuadPart);
  const std::uint64_t offset = std::uint64_t{offsetHigh} << 32 | offsetLow;
  if (size == 0 && (offset >= length || length - offset > UINT32_MAX)) return HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER);
  const std::uint32_t viewSize = size != 0 ? size : static_cast<std::uint32_t>(length - offset);
  // A mapping that asks for more than the file holds grows the file.
  const std::uint64_t mappingSize = std::max(length, offset + viewSize);

  m_mapping = CreateFileMappingW(file, nullptr, protect, static_cast<DWORD>(mappingSize >> 32),
                                 static_cast<DWORD>(mappingSize), nullptr);
  if (!m_mapping) return HresultFromLastError();
  void* view = MapViewOfFileEx(m_mapping, access, offsetHigh, offsetLow, viewSize, nullptr);
  if (!view) {
    const HRESULT hr = HresultFromLastError();
    CloseHandle(m_mapping);
    m_mapping = nullptr;
    return hr;
  }
  m_base = static_cast<const std::uint8_t*>(view);
  m_size = viewSize;
  return S_OK;
}

HRESULT MappedView::Unmap() {
  HRESULT hr = S_OK;
  if (m_base && !UnmapViewOfFile(m_base)) hr = HresultFromLastError();
  if (m_mapping && !CloseHandle(m_mapping) && hr == S_OK) hr = HresultFromLastError();
  m_base = nullptr;
  m_mapping = nullptr;
  m_size = 0;
  return hr;
}

}  // namespace kestlib
