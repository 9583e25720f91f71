#include "core/handoff/SignatureTag.h"

#include <algorithm>
#include <iterator>
#include <optional>

namespace forwarded {
namespace {

constexpr std::size_t kEntryHeader = 8;  // WIN_CERTIFICATE: dwLength, wRevision, wCertificateType
constexpr std::uint16_t kRevision2 = 0x0200;
constexpr std::uint16_t kTypePkcsSignedData = 2;

constexpr std::uint8_t kSequence = 0x30, kSet = 0x31, kOid = 0x06, kOctetString = 0x04;
constexpr std::uint8_t kExplicit0 = 0xA0, kUnsignedAttributes = 0xA1;

// 1.2.840.113549.1.7.2, PKCS#7 signed data.
constexpr std::uint8_t kSignedDataOid[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};
// 2.25.77303065948281106960624126976140051677: an OID of our own, derived
// from a random UUID, so that no other attribute can share it.
constexpr std::uint8_t kTagOid[] = {0x69, 0xF4, 0xA8, 0x83, 0xDA, 0xA9, 0x8F, 0xF2, 0x8B, 0xBF,
                                    0xAD, 0x9E, 0x90, 0xAA, 0x89, 0x8E, 0xC4, 0x89, 0x5D};

// One DER element inside the bytes: its tag, where it starts, where its
// content starts and ends.
struct Tlv {
  std::uint8_t tag = 0;
  std::size_t start = 0, content = 0, end = 0;
};

// The element at from, when its header and content lie before limit. Only
// definite lengths of up to four bytes and one-byte tags: a signature
// needs nothing else.
std::optional<Tlv> ReadTlv(const std::uint8_t* data, std::size_t from, std::size_t limit) {
  if (limit < from || limit - from < 2 || (data[from] & 0x1F) == 0x1F) return std::nullopt;
  Tlv t{data[from], from, from + 2, 0};
  std::size_t length = data[from + 1];
  if (length & 0x80) {
    const std::size_t count = length & 0x7F;
    if (count == 0 || count > 4 || limit - t.content < count) return std::nullopt;
    length = 0;
    for (std::size_t i = 0; i < count; ++i) length = length << 8 | data[t.content + i];
    t.content += count;
  }
  if (limit - t.content < length) return std::nullopt;
  t.end = t.content + length;
  return t;
}

// The elements that fill the content of parent exactly.
std::optional<std::vector<Tlv>> Children(const std::uint8_t* data, const Tlv& parent) {
  std::vector<Tlv> children;
  for (std::size_t at = parent.content; at < parent.end;) {
    const auto child = ReadTlv(data, at, parent.end);
    if (!child) return std::nullopt;
    children.push_back(*child);
    at = child->end;
  }
  return children;
}

template <std::size_t N>
bool HoldsOid(const std::uint8_t* data, const Tlv& t, const std::uint8_t (&oid)[N]) {
  return t.tag == kOid && t.end - t.content == N && std::equal(oid, oid + N, data + t.content);
}

std::vector<std::uint8_t> Header(std::uint8_t tag, std::size_t length) {
  std::vector<std::uint8_t> header{tag};
  if (length < 0x80) {
    header.push_back(static_cast<std::uint8_t>(length));
    return header;
  }
  std::vector<std::uint8_t> digits;
  for (; length; length >>= 8) digits.insert(digits.begin(), static_cast<std::uint8_t>(length));
  header.push_back(static_cast<std::uint8_t>(0x80 | digits.size()));
  header.insert(header.end(), digits.begin(), digits.end());
  return header;
}

std::vector<std::uint8_t> Element(std::uint8_t tag, const std::vector<std::uint8_t>& content) {
  std::vector<std::uint8_t> element = Header(tag, content.size());
  element.insert(element.end(), content.begin(), content.end());
  return element;
}

// The parts of a signature that a tag touches.
struct Signature {
  std::uint32_t entryLength = 0;             // dwLength of the first entry
  std::vector<Tlv> chain;                    // ContentInfo down to the first SignerInfo
  std::optional<Tlv> attributes;             // its unauthenticated attributes
  std::vector<Tlv> attributeList;            // their elements
};

enum class Parse { Ok, NotSigned, Malformed };

std::uint32_t U32(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// ContentInfo -> [0] -> SignedData -> signerInfos -> the first SignerInfo.
Parse ParseSignature(const std::uint8_t* table, std::size_t size, Signature& s) {
  if (size < kEntryHeader) return Parse::Malformed;
  s.entryLength = U32(table);
  if ((table[4] | table[5] << 8) != kRevision2 || (table[6] | table[7] << 8) != kTypePkcsSignedData)
    return Parse::NotSigned;
  if (s.entryLength < kEntryHeader || s.entryLength > size) return Parse::Malformed;
  const auto info = ReadTlv(table, kEntryHeader, s.entryLength);
  const auto infoParts = info && info->tag == kSequence ? Children(table, *info) : std::nullopt;
  if (!infoParts || infoParts->size() != 2 || !HoldsOid(table, (*infoParts)[0], kSignedDataOid) ||
      (*infoParts)[1].tag != kExplicit0)
    return Parse::Malformed;
  const auto wrapped = Children(table, (*infoParts)[1]);
  if (!wrapped || wrapped->size() != 1 || wrapped->front().tag != kSequence) return Parse::Malformed;
  const Tlv signedData = wrapped->front();
  // version, digestAlgorithms, contentInfo, [certificates], [crls], signerInfos
  const auto dataParts = Children(table, signedData);
  if (!dataParts || dataParts->size() < 4 || dataParts->back().tag != kSet) return Parse::Malformed;
  const Tlv signerInfos = dataParts->back();
  const auto signers = Children(table, signerInfos);
  if (!signers || signers->empty() || signers->front().tag != kSequence) return Parse::Malformed;
  const Tlv signer = signers->front();
  // version, sid, digestAlgorithm, [signedAttrs], signatureAlgorithm, signature, [unsignedAttrs]
  const auto signerParts = Children(table, signer);
  if (!signerParts || signerParts->size() < 5) return Parse::Malformed;
  s.chain = {*info, (*infoParts)[1], signedData, signerInfos, signer};
  if (signerParts->back().tag != kUnsignedAttributes) return Parse::Ok;
  s.attributes = signerParts->back();
  const auto list = Children(table, *s.attributes);
  if (!list) return Parse::Malformed;
  for (const Tlv& attribute : *list) {
    const auto parts = attribute.tag == kSequence ? Children(table, attribute) : std::nullopt;
    if (!parts || parts->size() != 2 || (*parts)[0].tag != kOid || (*parts)[1].tag != kSet)
      return Parse::Malformed;
  }
  s.attributeList = *list;
  return Parse::Ok;
}

bool IsTag(const std::uint8_t* table, const Tlv& attribute) {
  const auto oid = ReadTlv(table, attribute.content, attribute.end);
  return oid && HoldsOid(table, *oid, kTagOid);
}

// The chain's outermost element with [from, to) inside the innermost one
// replaced by with, every length on the way re-encoded.
std::vector<std::uint8_t> Splice(const std::uint8_t* der, const std::vector<Tlv>& chain, std::size_t from,
                                 std::size_t to, std::vector<std::uint8_t> with) {
  for (auto t = chain.rbegin(); t != chain.rend(); ++t) {
    std::vector<std::uint8_t> content(der + t->content, der + from);
    content.insert(content.end(), with.begin(), with.end());
    content.insert(content.end(), der + to, der + t->end);
    with = Element(t->tag, content);
    from = t->start;
    to = t->end;
  }
  return with;
}

}  // namespace

TagResult ReadSignatureTag(const std::uint8_t* table, std::size_t size, Values& values) {
  values.clear();
  Signature s;
  if (ParseSignature(table, size, s) != Parse::Ok) return TagResult::Damaged;
  for (const Tlv& attribute : s.attributeList) {
    if (!IsTag(table, attribute)) continue;
    const auto parts = Children(table, attribute);
    const auto octets = parts ? Children(table, (*parts)[1]) : std::nullopt;
    if (!octets || octets->size() != 1 || octets->front().tag != kOctetString) return TagResult::Damaged;
    const Tlv text = octets->front();
    if (text.end - text.content > kTagTextLimit ||
        ParseTrailingBlock(table + text.content, text.end - text.content, values) != BlockResult::Read)
      return TagResult::Damaged;
    return TagResult::Read;
  }
  return TagResult::NoTag;
}

TagError SetSignatureTag(const std::uint8_t* table, std::size_t size, const Values& values,
                         std::vector<std::uint8_t>& result) {
  const std::vector<std::uint8_t> text = MakeTrailingBlock(EncodeBlockData(values));
  if (text.size() > kTagTextLimit) return TagError::TextTooLong;
  Signature s;
  switch (ParseSignature(table, size, s)) {
    case Parse::Ok: break;
    case Parse::NotSigned: return TagError::NotSigned;
    case Parse::Malformed: return TagError::Malformed;
  }
  std::vector<std::uint8_t> oid(std::begin(kTagOid), std::end(kTagOid));
  std::vector<std::uint8_t> attribute = Element(kOid, oid);
  const std::vector<std::uint8_t> value = Element(kSet, Element(kOctetString, text));
  attribute.insert(attribute.end(), value.begin(), value.end());
  // The other attributes (a nested signature among them) stay as they were.
  std::vector<std::uint8_t> attributes;
  for (const Tlv& other : s.attributeList)
    if (!IsTag(table, other)) attributes.insert(attributes.end(), table + other.start, table + other.end);
  const std::vector<std::uint8_t> tag = Element(kSequence, attribute);
  attributes.insert(attributes.end(), tag.begin(), tag.end());

  const Tlv& signer = s.chain.back();
  const std::size_t from = s.attributes ? s.attributes->start : signer.end;
  const std::size_t to = s.attributes ? s.attributes->end : signer.end;
  const std::vector<std::uint8_t> der =
      Splice(table, s.chain, from, to, Element(kUnsignedAttributes, attributes));

  // dwLength counts the padding, as signing tools write it.
  const std::size_t length = (kEntryHeader + der.size() + 7) / 8 * 8;
  // Entries behind the first begin at its length rounded up to 8.
  const std::size_t rest = std::min<std::size_t>((std::size_t{s.entryLength} + 7) / 8 * 8, size);
  result = {static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
            static_cast<std::uint8_t>(length >> 16), static_cast<std::uint8_t>(length >> 24)};
  result.insert(result.end(), table + 4, table + kEntryHeader);
  result.insert(result.end(), der.begin(), der.end());
  result.resize(length, 0);
  result.insert(result.end(), table + rest, table + size);
  return TagError::None;
}

}  // namespace forwarded
