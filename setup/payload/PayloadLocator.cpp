#include "setup/payload/PayloadLocator.h"

#include <algorithm>
#include <cstdint>

#include "core/payload/PayloadFormat.h"
#include "kestlib/Holders.h"
#include "kestlib/Hresult.h"
#include "kestlib/io/Utf8.h"

namespace {

constexpr HRESULT kInvalidData = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

}  // namespace

HRESULT LocatePayload(const std::wstring& path, std::wstring& text) {
  text.clear();
  kestlib::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return kestlib::HresultFromLastError();

  LARGE_INTEGER fileSize{};
  if (!GetFileSizeEx(file.get(), &fileSize)) return kestlib::HresultFromLastError();
  // An empty file cannot be mapped: the error the mapping would give.
  if (fileSize.QuadPart == 0) return HRESULT_FROM_WIN32(ERROR_FILE_INVALID);

  kestlib::MappedView view;
  const auto mapped =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(fileSize.QuadPart),
                                                         payload::kBlockWindow));
  const HRESULT hr = view.Map(file.get(), mapped, 0, 0, PAGE_READONLY, FILE_MAP_READ);
  if (FAILED(hr)) return hr;

  const auto block = payload::FindConfigBlock(view.base(), view.size());
  if (!block) return kInvalidData;
  // Strict: a block whose text is not UTF-8 counts as damaged.
  const std::string utf8 = payload::DecipherBlock(view.base() + block->offset, block->length);
  std::wstring decoded = kestlib::WideFromUtf8(utf8);
  if (decoded.empty() && !utf8.empty()) return kInvalidData;
  text = std::move(decoded);
  return S_OK;
}
