// Certificate tables shaped like the ones signing tools write, with
// stand-ins for the certificates and the signature bytes: enough for the
// code that edits a tag into the DER, which does not check the signature.
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

}  // namespace testsupport
