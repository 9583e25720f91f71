// The tag command: per-download values in the signature of a signed
// installer, which stays valid since its hash leaves the certificate table
// out.
#pragma once

#include <cstdint>
#include <ostream>

#include "CommandLine.h"

namespace sfxpack {

// Writes the tagged installer (a new file, or the tail and header fields of
// the given one, which a failure leaves as it was) and returns its size.
// Throws PackError for an unsigned installer, a certificate table that does
// not end the file, a signature that does not parse or does not match the
// file, and values that do not fit. Notes go to notes.
std::uint64_t TagInstaller(const TagOptions& options, std::ostream& notes);

}  // namespace sfxpack
