// The Authenticode signatures of a signed installer, checked offline with
// OpenSSL: each PKCS#7 parses, its signer's signature covers its content,
// and the digest it signs is the file's Authenticode hash. Trust in the
// certificates is not checked: that needs the machine's roots and the time
// of signing, which only Windows has when it runs the file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/pe/PeImage.h"

namespace sfxpack {

struct SignatureCheck {
  unsigned depth = 0;            // 0 for the outer signature, 1 for one nested in it, ...
  std::string digestAlgorithm;   // "sha256"; empty when it cannot be read
  std::optional<std::string> problem;  // why it does not pass; nothing when it does
};

// The file's Authenticode hash with the named digest: every byte before
// the certificate table at tableOffset (the end of the file when unsigned)
// but the checksum field and the certificate table's directory entry.
// Nothing for a digest OpenSSL does not know.
std::optional<std::vector<std::uint8_t>> AuthenticodeHash(const std::filesystem::path& file,
                                                           const kestlib::PeImage& image,
                                                           std::uint64_t tableOffset,
                                                           const std::string& digest);

// The outer signature of the certificate table (the bytes the security
// directory names, at tableOffset in file) and every signature nested in
// it, outer first. Empty for a table without a PKCS#7 entry.
std::vector<SignatureCheck> CheckSignatures(const std::filesystem::path& file, const kestlib::PeImage& image,
                                            std::uint64_t tableOffset, const std::vector<std::uint8_t>& table);

// The signatures of an installer whose certificate table is the one given
// (nothing for an unsigned file); a table that does not lie in the file
// gives one check with that problem.
std::vector<SignatureCheck> ReadSignatures(const std::filesystem::path& file, const kestlib::PeImage& image,
                                           const std::optional<kestlib::DataDirectory>& table,
                                           std::uint64_t fileSize);

// "the signature", or which nested one, for messages.
std::string SignatureName(const SignatureCheck& check);

}  // namespace sfxpack
