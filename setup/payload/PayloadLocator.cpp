#include "setup/payload/PayloadLocator.h"

#include <algorithm>

#include "core/payload/PayloadFormat.h"
#include "kestlib/Holders.h"
#include "kestlib/Hresult.h"

namespace {

constexpr HRESULT kInvalidData = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

// Strict: a block whose text is not UTF-8 counts as damaged.
bool Utf8ToWide(const std::string& utf8, std::wstring& wide) {
  wide.clear();
  if (utf8.empty()) return true;
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
  if (length <= 0) return false;
  wide.resize(static_cast<std::size_t>(length));
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), length) == length;
}

}  // namespace

HRESULT LocatePayload(const std::wstring& path, std::wstring& text) {
  text.clear();
  kestlib::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return kestlib::HresultFromLastError();

  const DWORD fileSize = GetFileSize(file.get(), nullptr);
  if (fileSize == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return kestlib::HresultFromLastError();

  kestlib::MappedView view;
  const DWORD mapped = std::min<DWORD>(fileSize, payload::kBlockWindow);
  const HRESULT hr = view.Map(file.get(), mapped, 0, 0, PAGE_READONLY, FILE_MAP_READ);
  if (FAILED(hr)) return hr;

  const auto block = payload::FindConfigBlock(view.base(), view.size());
  if (!block) return kInvalidData;
  std::wstring decoded;
  if (!Utf8ToWide(payload::DecipherBlock(view.base() + block->offset, block->length), decoded))
    return kInvalidData;
  text = std::move(decoded);
  return S_OK;
}
