#include "kestlib/Holders.h"

#include "kestlib/Hresult.h"

namespace kestlib {

HRESULT MappedView::Map(HANDLE file, std::uint32_t size, std::uint32_t offsetLow, std::uint32_t offsetHigh,
                        DWORD protect, DWORD access) {
  Unmap();
  DWORD fileSizeHigh = 0;
  const DWORD fileSizeLow = GetFileSize(file, &fileSizeHigh);
  DWORD maxLow = fileSizeLow;
  DWORD maxHigh = fileSizeHigh;
  if (fileSizeHigh == 0 && fileSizeLow < size) maxLow = size;

  m_mapping = CreateFileMappingW(file, nullptr, protect, maxHigh, maxLow, nullptr);
  if (!m_mapping) return HresultFromLastError();

  m_size = size != 0 ? size : fileSizeLow - offsetLow;
  void* view = MapViewOfFileEx(m_mapping, access, offsetHigh, offsetLow, m_size, nullptr);
  if (!view) {
    const HRESULT hr = HresultFromLastError();
    CloseHandle(m_mapping);
    m_mapping = nullptr;
    m_size = 0;
    return hr;
  }
  m_base = static_cast<const std::uint8_t*>(view);
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
