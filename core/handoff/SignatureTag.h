// Forwarded data in the Authenticode signature of a signed installer: an
// unauthenticated attribute of the outermost signer, holding the values as
// a trailing block. The signature's hash leaves the certificate table out,
// so a signed file can be tagged per download without signing it again;
// for the same reason anyone can change a tag, and the values are
// untrusted. No Windows header: shared by the stub and the builder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/handoff/ForwardedDataFormat.h"

namespace forwarded {

// The largest trailing block (markers and UTF-16LE data) a tag holds.
inline constexpr std::size_t kTagTextLimit = 16 * 1024;

enum class TagResult { Read, NoTag, Damaged };

// Reads the tag from a certificate table (the bytes the security data
// directory names): NoTag for a well-formed signature without one, Damaged
// for a table, signature or tag that does not parse. values is emptied
// first and holds nothing unless the result is Read.
TagResult ReadSignatureTag(const std::uint8_t* table, std::size_t size, Values& values);

enum class TagError {
  None,
  NotSigned,     // the first entry is no PKCS#7 signature
  Malformed,     // the table or the signature's DER does not parse
  TextTooLong,   // the block would exceed kTagTextLimit
};

// The certificate table with the tag set to values, replacing an earlier
// tag: every enclosing DER length and the entry's length are recomputed,
// the entry padded to 8 bytes, entries behind it kept.
TagError SetSignatureTag(const std::uint8_t* table, std::size_t size, const Values& values,
                         std::vector<std::uint8_t>& result);

}  // namespace forwarded
