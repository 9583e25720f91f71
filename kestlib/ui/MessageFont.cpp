#include "kestlib/ui/MessageFont.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace kestlib {

namespace {

constexpr std::size_t kHeaderSize = 18;    // DLGTEMPLATE
constexpr std::size_t kHeaderExSize = 26;  // DLGTEMPLATEEX up to the menu
constexpr std::size_t kFontExExtra = 4;    // weight, italic, character set

// Reads the template's variable parts, which are WORD-aligned runs of
// UTF-16 units, bounded by the template's size.
class WordReader {
 public:
  WordReader(const std::uint8_t* data, std::size_t size, std::size_t offset)
      : m_data(data), m_size(size), m_offset(offset) {}

  bool Word(WORD& value) {
    if (m_offset + sizeof(WORD) > m_size) return false;
    std::memcpy(&value, m_data + m_offset, sizeof(WORD));
    m_offset += sizeof(WORD);
    return true;
  }
  bool Skip(std::size_t bytes) {
    if (m_offset + bytes > m_size) return false;
    m_offset += bytes;
    return true;
  }
  // A zero-terminated string.
  bool String() {
    WORD unit = 0;
    do {
      if (!Word(unit)) return false;
    } while (unit != 0);
    return true;
  }
  // A menu or class field: nothing, an ordinal or a string.
  bool StringOrOrdinal() {
    WORD first = 0;
    if (!Word(first)) return false;
    if (first == 0) return true;
    if (first == 0xFFFF) return Skip(sizeof(WORD));
    return String();
  }
  std::size_t Offset() const { return m_offset; }

 private:
  const std::uint8_t* m_data;
  std::size_t m_size;
  std::size_t m_offset;
};

std::size_t AlignToDword(std::size_t offset) { return (offset + 3) & ~std::size_t{3}; }

void AppendWord(std::vector<std::uint8_t>& out, WORD value) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&value);
  out.insert(out.end(), bytes, bytes + sizeof(value));
}

}  // namespace

std::vector<std::uint8_t> ReplaceTemplateFont(const std::uint8_t* dialogTemplate, std::size_t size,
                                              const TemplateFont& font) {
  if (size < kHeaderSize) return {};
  WORD version = 0;
  WORD signature = 0;
  std::memcpy(&version, dialogTemplate, sizeof(WORD));
  std::memcpy(&signature, dialogTemplate + 2, sizeof(WORD));
  const bool extended = version == 1 && signature == 0xFFFF;
  if (extended && size < kHeaderExSize) return {};

  DWORD style = 0;
  std::memcpy(&style, dialogTemplate + (extended ? 12 : 0), sizeof(DWORD));
  if ((style & DS_SETFONT) == 0) return {};

  WordReader reader(dialogTemplate, size, extended ? kHeaderExSize : kHeaderSize);
  if (!reader.StringOrOrdinal() || !reader.StringOrOrdinal() || !reader.String()) return {};
  const std::size_t pointsAt = reader.Offset();
  if (!reader.Skip(sizeof(WORD) + (extended ? kFontExExtra : 0)) || !reader.String()) return {};
  // The first item starts on the next DWORD boundary; an empty dialog may
  // end right after the face.
  const std::size_t itemsAt = std::min(AlignToDword(reader.Offset()), size);

  std::vector<std::uint8_t> out(dialogTemplate, dialogTemplate + pointsAt);
  AppendWord(out, font.points);
  if (extended) {
    const std::uint8_t* extra = dialogTemplate + pointsAt + sizeof(WORD);
    out.insert(out.end(), extra, extra + kFontExExtra);
  }
  for (wchar_t unit : font.face) AppendWord(out, static_cast<WORD>(unit));
  AppendWord(out, 0);
  out.resize(AlignToDword(out.size()), 0);
  out.insert(out.end(), dialogTemplate + itemsAt, dialogTemplate + size);
  return out;
}

bool GetMessageFont(TemplateFont& font) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return false;
  HDC screen = GetDC(nullptr);
  if (!screen) return false;
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  if (dpi <= 0) return false;
  font.face = metrics.lfMessageFont.lfFaceName;
  font.points = static_cast<WORD>(MulDiv(std::abs(metrics.lfMessageFont.lfHeight), 72, dpi));
  return !font.face.empty() && font.points != 0;
}

std::vector<std::uint8_t> WithMessageFont(const std::uint8_t* dialogTemplate, std::size_t size) {
  TemplateFont font;
  if (GetMessageFont(font)) {
    std::vector<std::uint8_t> replaced = ReplaceTemplateFont(dialogTemplate, size, font);
    if (!replaced.empty()) return replaced;
  }
  return std::vector<std::uint8_t>(dialogTemplate, dialogTemplate + size);
}

}  // namespace kestlib
