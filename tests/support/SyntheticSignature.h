// Certificate tables shaped like the ones signing tools write, with
// stand-ins for the certificates and the signature bytes: enough for the
// code that tags a signature, which never checks it.
#pragma once

#include <cstdint>
#include <vector>

namespace testsupport {

// One DER element; lengths up to 65,535.
std::vector<std::uint8_t> Der(std::uint8_t tag, const std::vector<std::uint8_t>& content);

// A table with one PKCS#7 entry, padded to 8 bytes; its signer carries the
// unauthenticated attributes given (the content of [1]), when not empty.
std::vector<std::uint8_t> SignatureTable(const std::vector<std::uint8_t>& unsignedAttributes = {});

// An unauthenticated attribute holding a nested signature (as a stand-in).
std::vector<std::uint8_t> NestedSignature();

// Pads a PE image to 8 bytes and appends a SignatureTable as its
// certificate table.
void AppendSignature(std::vector<std::uint8_t>& image);

}  // namespace testsupport
