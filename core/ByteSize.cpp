#include "core/ByteSize.h"

#include <cstdio>

namespace {

const wchar_t* const kBuiltInUnits[] = {L"KB", L"MB", L"GB", L"TB"};

std::wstring Number(const char* format, double value) {
  char text[64] = {};
  std::snprintf(text, sizeof(text), format, value);
  // Digits, a separator and a sign: single bytes in any locale we set.
  return std::wstring(text, text + std::char_traits<char>::length(text));
}

}  // namespace

std::wstring FormatByteSize(std::uint64_t bytes, std::vector<std::wstring> units) {
  units.resize(4);
  for (std::size_t i = 0; i < units.size(); ++i)
    if (units[i].empty()) units[i] = kBuiltInUnits[i];
  const double b = static_cast<double>(bytes);
  if (b / 1024 < 0.1) return L"0 " + units[0];
  if (b < 1048576.0) return Number("%.1f", b / 1024) + L" " + units[0];
  if (b < 1073741824.0) return Number("%.1f", b / 1048576.0) + L" " + units[1];
  if (b < 1099511627776.0) return Number("%.2f", b / 1073741824.0) + L" " + units[2];
  return Number("%.2f", b / 1099511627776.0) + L" " + units[3];
}
