#include "core/pe/VersionInfo.h"

#include <charconv>

namespace kestlib {
namespace {

constexpr std::uint32_t kFixedSignature = 0xFEEF04BD;
constexpr std::size_t kFixedSize = 52;

class Writer {
 public:
  // A node: length, value length, type, key, padding, value, children.
  template <typename Children>
  void Node(const std::u16string& key, std::uint16_t type, const std::vector<std::uint8_t>& value,
            std::uint16_t valueLength, Children children) {
    const std::size_t start = out_.size();
    U16(0);
    U16(valueLength);
    U16(type);
    for (char16_t c : key) U16(c);
    U16(0);
    Pad();
    out_.insert(out_.end(), value.begin(), value.end());
    Pad();
    children();
    const std::size_t length = out_.size() - start;
    out_[start] = static_cast<std::uint8_t>(length);
    out_[start + 1] = static_cast<std::uint8_t>(length >> 8);
  }
  void U16(std::uint32_t v) {
    out_.push_back(static_cast<std::uint8_t>(v));
    out_.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  void Pad() {
    while (out_.size() % 4) out_.push_back(0);
  }
  std::vector<std::uint8_t> out_;
};

std::vector<std::uint8_t> Words(std::initializer_list<std::uint32_t> values) {
  std::vector<std::uint8_t> bytes;
  for (std::uint32_t v : values)
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  return bytes;
}

std::uint32_t High(const FileVersion& v) { return std::uint32_t{v[0]} << 16 | v[1]; }
std::uint32_t Low(const FileVersion& v) { return std::uint32_t{v[2]} << 16 | v[3]; }

struct Reader {
  const std::uint8_t* data;
  std::size_t size;
  std::uint16_t U16(std::size_t o) const { return static_cast<std::uint16_t>(data[o] | data[o + 1] << 8); }
  std::uint32_t U32(std::size_t o) const { return U16(o) | static_cast<std::uint32_t>(U16(o + 2)) << 16; }
};

struct NodeView {
  std::size_t start, end;  // of the node
  std::size_t value;       // offset of the value
  std::uint16_t valueLength;
  std::u16string key;
  std::size_t children;  // offset of the first child
};

std::size_t Align4(std::size_t o) { return (o + 3) & ~std::size_t{3}; }

std::optional<NodeView> ReadNode(const Reader& r, std::size_t start, std::size_t limit, bool textValue) {
  if (start + 6 > limit) return std::nullopt;
  NodeView n;
  n.start = start;
  n.end = start + r.U16(start);
  n.valueLength = r.U16(start + 2);
  if (n.end > limit || n.end < start + 6) return std::nullopt;
  std::size_t o = start + 6;
  for (;; o += 2) {
    if (o + 2 > n.end) return std::nullopt;
    const char16_t c = r.U16(o);
    if (!c) break;
    n.key.push_back(c);
  }
  n.value = Align4(o + 2);
  const std::size_t valueBytes = textValue ? std::size_t{n.valueLength} * 2 : n.valueLength;
  if (n.value + valueBytes > n.end && valueBytes) return std::nullopt;
  n.children = Align4(n.value + valueBytes);
  return n;
}

}  // namespace

std::optional<FileVersion> ParseFileVersion(const std::string& text) {
  FileVersion version{};
  std::size_t part = 0;
  const char* p = text.data();
  const char* end = text.data() + text.size();
  while (true) {
    unsigned value = 0;
    const auto [next, error] = std::from_chars(p, end, value);
    if (error != std::errc() || value > 0xFFFF || part == version.size()) return std::nullopt;
    version[part++] = static_cast<std::uint16_t>(value);
    if (next == end) return version;
    if (*next != '.') return std::nullopt;
    p = next + 1;
  }
}

std::vector<std::uint8_t> BuildVersionInfo(const VersionInfo& info) {
  Writer w;
  // VFT_APP on VOS_NT_WINDOWS32; no flags, no date.
  const std::vector<std::uint8_t> fixed = Words({kFixedSignature, 0x00010000, High(info.fileVersion),
                                                 Low(info.fileVersion), High(info.productVersion),
                                                 Low(info.productVersion), 0x3F, 0, 0x00040004, 1, 0, 0, 0});
  w.Node(u"VS_VERSION_INFO", 0, fixed, kFixedSize, [&] {
    w.Node(u"StringFileInfo", 1, {}, 0, [&] {
      w.Node(u"040904B0", 1, {}, 0, [&] {
        for (const auto& [key, value] : info.strings) {
          std::vector<std::uint8_t> text;
          for (char16_t c : value + u'\0') {
            text.push_back(static_cast<std::uint8_t>(c));
            text.push_back(static_cast<std::uint8_t>(c >> 8));
          }
          w.Pad();
          w.Node(key, 1, text, static_cast<std::uint16_t>(value.size() + 1), [] {});
        }
      });
    });
    w.Pad();
    w.Node(u"VarFileInfo", 1, {}, 0, [&] {
      w.Node(u"Translation", 0, Words({0x04B00409}), 4, [] {});
    });
  });
  return w.out_;
}

std::optional<VersionInfo> ReadVersionInfo(const std::uint8_t* data, std::size_t size) {
  const Reader r{data, size};
  const auto root = ReadNode(r, 0, size, false);
  if (!root || root->key != u"VS_VERSION_INFO" || root->valueLength != kFixedSize ||
      root->value + kFixedSize > root->end || r.U32(root->value) != kFixedSignature)
    return std::nullopt;
  VersionInfo info;
  const std::uint32_t fixed[4] = {r.U32(root->value + 8), r.U32(root->value + 12), r.U32(root->value + 16),
                                  r.U32(root->value + 20)};
  info.fileVersion = {static_cast<std::uint16_t>(fixed[0] >> 16), static_cast<std::uint16_t>(fixed[0]),
                      static_cast<std::uint16_t>(fixed[1] >> 16), static_cast<std::uint16_t>(fixed[1])};
  info.productVersion = {static_cast<std::uint16_t>(fixed[2] >> 16), static_cast<std::uint16_t>(fixed[2]),
                         static_cast<std::uint16_t>(fixed[3] >> 16), static_cast<std::uint16_t>(fixed[3])};
  for (std::size_t o = root->children; o < root->end;) {
    const auto child = ReadNode(r, o, root->end, true);
    if (!child) return std::nullopt;
    if (child->key == u"StringFileInfo") {
      const auto table = ReadNode(r, child->children, child->end, true);
      if (!table) return std::nullopt;
      for (std::size_t s = table->children; s < table->end;) {
        const auto entry = ReadNode(r, s, table->end, true);
        if (!entry) return std::nullopt;
        std::u16string value;
        for (std::size_t i = 0; i < entry->valueLength && entry->value + 2 * i + 2 <= entry->end; ++i) {
          const char16_t c = r.U16(entry->value + 2 * i);
          if (!c) break;
          value.push_back(c);
        }
        info.strings.emplace_back(entry->key, value);
        s = Align4(entry->end);
      }
      return info;
    }
    o = Align4(child->end);
  }
  return info;
}

}  // namespace kestlib
