// The item-path rule over hostile names: whatever an archive stores, the
// path created stays plain and relative, and a path said to be created as
// named is created under its own parts.
#include <cstdint>
#include <string>

#include "FuzzInput.h"
#include "core/PathRules.h"

namespace {

bool IsPlainPart(const std::wstring& part) {
  if (part.empty() || part == L"." || part == L"..") return false;
  for (const wchar_t c : part)
    if (c < 0x20 || std::wstring(L"<>:\"|?*/").find(c) != std::wstring::npos) return false;
  return part.back() != L'.' && part.back() != L' ';
}

// The stored path with "/" as "\", "." and empty parts dropped.
std::wstring Plain(const std::wstring& path) {
  std::wstring plain;
  for (std::size_t start = 0; start <= path.size();) {
    const std::size_t end = std::min(path.find_first_of(L"\\/", start), path.size());
    const std::wstring part = path.substr(start, end - start);
    if (!part.empty() && part != L".") plain = CombinePath(plain, part);
    start = end + 1;
  }
  return plain;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool folder = data[0] & 1;
  const std::wstring path = fuzzinput::Wide(data + 1, size - 1);
  const std::wstring created = ExtractedItemPath(path, folder);
  for (std::size_t start = 0; !created.empty() && start <= created.size();) {
    const std::size_t end = std::min(created.find(L'\\', start), created.size());
    if (!IsPlainPart(created.substr(start, end - start))) __builtin_trap();
    start = end + 1;
  }
  if (created.empty() && !folder) __builtin_trap();
  if (ItemPathProblem(path, folder).empty() && created != Plain(path)) __builtin_trap();
  return 0;
}
