#include "SyntheticSignature.h"

#include <algorithm>
#include <initializer_list>
#include <iterator>


namespace testsupport {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) std::copy(part.begin(), part.end(), std::back_inserter(out));
  return out;
}

// 1.2.840.113549.1.7.2, PKCS#7 signed data.
const Bytes kSignedDataOid = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};
// 1.3.6.1.4.1.311.2.4.1, where a second signature nests in the first.
const Bytes kNestedOid = {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x04, 0x01};

void PutU32(Bytes& bytes, std::size_t at, std::size_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

Bytes Der(std::uint8_t tag, const Bytes& content) {
  const std::size_t n = content.size();
  Bytes out = n < 0x80 ? Bytes{tag, static_cast<std::uint8_t>(n)}
                       : Bytes{tag, 0x82, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
  std::copy(content.begin(), content.end(), std::back_inserter(out));
  return out;
}

Bytes SignatureTable(const Bytes& unsignedAttributes) {
  // version, sid, digestAlgorithm, signedAttrs, signatureAlgorithm, signature
  Bytes signer = Join({Der(0x02, {1}), Der(0x30, Bytes(40, 0x11)), Der(0x30, Bytes(13, 0x22)),
                       Der(0xA0, Bytes(90, 0x33)), Der(0x30, Bytes(10, 0x44)), Der(0x04, Bytes(72, 0x55))});
  if (!unsignedAttributes.empty()) signer = Join({signer, Der(0xA1, unsignedAttributes)});
  // version, digestAlgorithms, contentInfo, certificates, signerInfos
  const Bytes signedData = Join({Der(0x02, {1}), Der(0x31, Der(0x30, Bytes(11, 0x66))), Der(0x30, Bytes(60, 0x77)),
                                 Der(0xA0, Bytes(500, 0x88)), Der(0x31, Der(0x30, signer))});
  const Bytes der = Der(0x30, Join({Der(0x06, kSignedDataOid), Der(0xA0, Der(0x30, signedData))}));
  const std::size_t length = (8 + der.size() + 7) / 8 * 8;
  Bytes table{0, 0, 0, 0, 0x00, 0x02, 0x02, 0x00};  // revision 2.0, PKCS#7 signed data
  PutU32(table, 0, length);
  std::copy(der.begin(), der.end(), std::back_inserter(table));
  table.resize(length, 0);
  return table;
}

Bytes NestedSignature() {
  return Der(0x30, Join({Der(0x06, kNestedOid), Der(0x31, Der(0x30, Bytes(300, 0x5A)))}));
}

}  // namespace testsupport
