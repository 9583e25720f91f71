#include "core/handoff/ForwardedDataFormat.h"

#include <algorithm>
#include <cstring>

#include <boost/regex.hpp>

namespace forwarded {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Copies of the markers with "+" in place of the first "#".
constexpr char16_t kStoredStart[] = u"+#DATA##";
constexpr char16_t kStoredEnd[] = u"+#ENDDATA##";

std::vector<std::uint8_t> Unmask(std::u16string_view stored) {
  std::vector<std::uint8_t> marker;
  for (std::size_t i = 0; i < stored.size(); ++i) {
    const char16_t c = i == 0 ? u'#' : stored[i];
    marker.push_back(static_cast<std::uint8_t>(c));
    marker.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return marker;
}

// One code point from UTF-8 at text[i], advancing i; nothing when the
// sequence there is malformed (overlong, a surrogate, beyond U+10FFFF).
std::optional<char32_t> DecodeUtf8(std::string_view text, std::size_t& i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  std::size_t length = 0;
  char32_t code = 0, minimum = 0;
  if (lead < 0x80) {
    ++i;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, code = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, code = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, code = lead & 0x07, minimum = 0x10000;
  } else {
    return std::nullopt;
  }
  if (text.size() - i < length) return std::nullopt;
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    code = code << 6 | (next & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return std::nullopt;
  i += length;
  return code;
}

std::optional<char16_t> HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return static_cast<char16_t>(c - u'0');
  if (c >= u'a' && c <= u'f') return static_cast<char16_t>(c - u'a' + 10);
  if (c >= u'A' && c <= u'F') return static_cast<char16_t>(c - u'A' + 10);
  return std::nullopt;
}

// Escapes whose two characters are not hexadecimal digits are refused
// rather than guessed at.
bool DecodeEscapes(std::u16string_view text, std::u16string& out) {
  out.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != u'%') {
      out.push_back(text[i]);
      continue;
    }
    if (text.size() - i < 3) return false;
    const auto high = HexDigit(text[i + 1]), low = HexDigit(text[i + 2]);
    if (!high || !low) return false;
    out.push_back(static_cast<char16_t>(*high << 4 | *low));
    i += 2;
  }
  return true;
}

void EncodeEscapes(std::u16string_view text, std::u16string& out) {
  static const char16_t kHex[] = u"0123456789ABCDEF";
  for (const char16_t c : text) {
    if (c < 0x20 || c == 0x7F || c == u'%' || c == u'&' || c == u'=' || c == u'#') {
      out += {u'%', kHex[c >> 4], kHex[c & 0xF]};
    } else {
      out.push_back(c);
    }
  }
}

// Offset of the first occurrence of marker in [from, size) whose distance
// from from is a multiple of step.
std::optional<std::size_t> Find(const std::uint8_t* data, std::size_t size, std::size_t from,
                                const std::vector<std::uint8_t>& marker, std::size_t step) {
  for (std::size_t o = from; o <= size && size - o >= marker.size(); o += step) {
    if (std::memcmp(data + o, marker.data(), marker.size()) == 0) return o;
  }
  return std::nullopt;
}

}  // namespace

bool IsSlotName(std::u16string_view name) {
  const std::u16string_view prefix = name.substr(0, 3);
  return prefix == u"HLV" || prefix == u"HV_";
}

std::u16string SlotText(const std::uint8_t* data, std::size_t size) {
  const auto* text = reinterpret_cast<const char*>(data);
  return Utf16FromUtf8(std::string_view(text, std::find(text, text + size, '\0') - text));
}

std::vector<std::uint8_t> MakeBlockStartMarker() { return Unmask(kStoredStart); }
std::vector<std::uint8_t> MakeBlockEndMarker() { return Unmask(kStoredEnd); }

BlockResult ParseTrailingBlock(const std::uint8_t* data, std::size_t size, Values& values) {
  values.clear();
  const std::vector<std::uint8_t> start = MakeBlockStartMarker(), end = MakeBlockEndMarker();
  const auto startAt = Find(data, size, 0, start, 1);
  if (!startAt) return BlockResult::NotFound;
  // The end marker counts only on a character boundary of the data, so the
  // data is always whole UTF-16 code units.
  const std::size_t dataAt = *startAt + start.size();
  const auto endAt = Find(data, size, dataAt, end, 2);
  if (!endAt) return BlockResult::Invalid;
  std::u16string text((*endAt - dataAt) / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char16_t>(data[dataAt + 2 * i] | data[dataAt + 2 * i + 1] << 8);
  return ParseBlockData(text, values) ? BlockResult::Read : BlockResult::Invalid;
}

bool ParseBlockData(std::u16string_view data, Values& values) {
  values.clear();
  std::u16string name, value;
  std::size_t from = 0;
  while (from < data.size()) {
    const std::size_t amp = std::min(data.find(u'&', from), data.size());
    const std::u16string_view entry = data.substr(from, amp - from);
    const std::size_t equals = std::min(entry.find(u'='), entry.size());
    if (!DecodeEscapes(entry.substr(0, equals), name) ||
        !DecodeEscapes(entry.substr(std::min(equals + 1, entry.size())), value)) {
      values.clear();
      return false;
    }
    values[name] = value;
    from = amp + 1;
  }
  return true;
}

std::u16string EncodeBlockData(const Values& values) {
  std::u16string data;
  for (const auto& [name, value] : values) {
    if (!data.empty()) data.push_back(u'&');
    EncodeEscapes(name, data);
    data.push_back(u'=');
    EncodeEscapes(value, data);
  }
  return data;
}

std::vector<std::uint8_t> MakeTrailingBlock(std::u16string_view data) {
  std::vector<std::uint8_t> block = MakeBlockStartMarker();
  for (const char16_t c : data) {
    block.push_back(static_cast<std::uint8_t>(c));
    block.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  const std::vector<std::uint8_t> end = MakeBlockEndMarker();
  block.insert(block.end(), end.begin(), end.end());
  return block;
}

std::optional<std::string> FileNameIdentifier(std::string_view path) {
  // The classes are ASCII and UTF-8 never puts an ASCII byte inside a
  // multi-byte character, so matching bytes equals matching characters.
  static const boost::regex pattern(".*--ph([0-9a-zA-Z]{16})(?:[^0-9a-zA-Z].*)?");
  const std::size_t slash = path.find_last_of("\\/");
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const std::size_t period = name.rfind('.');
  // Matched as a std::string: the matcher for its iterators is in the
  // program already, one for string_view's would add tens of KB.
  const std::string base(period == std::string_view::npos ? std::string_view{} : name.substr(0, period));
  boost::smatch match;
  if (!boost::regex_match(base, match, pattern)) return std::nullopt;
  return match.str(1);
}

bool IsForwardable(std::u16string_view name, std::u16string_view value) {
  const auto breaksLine = [](char16_t c) { return c == u'\r' || c == u'\n' || c == u'\0'; };
  return !name.empty() && name.find(u'=') == std::u16string_view::npos &&
         std::none_of(name.begin(), name.end(), breaksLine) &&
         std::none_of(value.begin(), value.end(), breaksLine);
}

void DropEmptyValues(Values& values) {
  for (auto it = values.begin(); it != values.end();) it = it->second.empty() ? values.erase(it) : std::next(it);
}

std::string SetupValuesText(const Values& values) {
  std::string text;
  for (const auto& [name, value] : values) {
    if (IsForwardable(name, value)) text += Utf8FromUtf16(name) + "=" + Utf8FromUtf16(value) + "\r\n";
  }
  return text;
}

std::u16string Utf16FromUtf8(std::string_view text) {
  std::u16string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto code = DecodeUtf8(text, i);
    if (!code) {
      out.push_back(kReplacement);
      ++i;
    } else if (*code >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((*code - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((*code - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(*code));
    }
  }
  return out;
}

std::string Utf8FromUtf16(std::u16string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t code = text[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = kReplacement;
    }
    if (code < 0x80) {
      out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      out += {static_cast<char>(0xC0 | code >> 6), static_cast<char>(0x80 | (code & 0x3F))};
    } else if (code < 0x10000) {
      out += {static_cast<char>(0xE0 | code >> 12), static_cast<char>(0x80 | (code >> 6 & 0x3F)),
              static_cast<char>(0x80 | (code & 0x3F))};
    } else {
      out += {static_cast<char>(0xF0 | code >> 18), static_cast<char>(0x80 | (code >> 12 & 0x3F)),
              static_cast<char>(0x80 | (code >> 6 & 0x3F)), static_cast<char>(0x80 | (code & 0x3F))};
    }
  }
  return out;
}

bool IsUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    if (!DecodeUtf8(text, i)) return false;
  }
  return true;
}

}  // namespace forwarded
