// Real Authenticode signatures made with OpenSSL in the test's own process,
// for tests that need a signature that verifies wherever they run, Wine
// included: a new self-signed certificate each time, trusted by no one.
#pragma once

#include <cstdint>
#include <vector>

namespace testsupport {

// Signs the PE image as signing tools do: pads it to 8 bytes, appends the
// certificate table with one SHA-256 PKCS#7 signature, points the security
// entry at it and records the PE checksum of the result.
void SignImage(std::vector<std::uint8_t>& image);

}  // namespace testsupport
