#include "AuthenticodeSigner.h"

#include <memory>
#include <stdexcept>
#include <string>

#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include "SyntheticPe.h"
#include "SyntheticSignature.h"
#include "core/pe/PeChecksum.h"
#include "core/pe/PeImage.h"

namespace testsupport {
namespace {

using Bytes = std::vector<std::uint8_t>;

template <typename T, void (*Free)(T*)>
struct Deleter {
  void operator()(T* p) const { Free(p); }
};

void Require(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("test signer: ") + what);
}

Bytes OidDer(const char* text) {
  std::unique_ptr<ASN1_OBJECT, Deleter<ASN1_OBJECT, ASN1_OBJECT_free>> oid(OBJ_txt2obj(text, 1));
  Require(oid != nullptr, "OID");
  unsigned char* der = nullptr;
  const int length = i2d_ASN1_OBJECT(oid.get(), &der);
  Bytes bytes(der, der + length);
  OPENSSL_free(der);
  return bytes;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

// Every byte but the checksum field, the security entry and the table.
Bytes Sha256OfImage(const Bytes& image, const kestlib::PeImage& pe) {
  const std::size_t checksum = pe.optionalHeader + kestlib::kChecksumFieldOffset;
  const std::size_t entry = pe.directoryTable + 8 * kestlib::kDirectorySecurity;
  Bytes hashed(image.begin(), image.begin() + checksum);
  hashed.insert(hashed.end(), image.begin() + checksum + 4, image.begin() + entry);
  hashed.insert(hashed.end(), image.begin() + entry + 8, image.end());
  Bytes hash(32);
  Require(EVP_Digest(hashed.data(), hashed.size(), hash.data(), nullptr, EVP_sha256(), nullptr) == 1, "hash");
  return hash;
}

// SpcIndirectDataContent: PE image data, then the image's digest.
Bytes IndirectData(const Bytes& hash) {
  const Bytes imageData = Der(0x30, Join({OidDer("1.3.6.1.4.1.311.2.1.15"), Der(0x30, {0x03, 0x01, 0x00})}));
  const Bytes algorithm = Der(0x30, Join({OidDer("2.16.840.1.101.3.4.2.1"), {0x05, 0x00}}));
  return Der(0x30, Join({imageData, Der(0x30, Join({algorithm, Der(0x04, hash)}))}));
}

Bytes SignedData(const Bytes& content) {
  std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>> key(EVP_EC_gen("P-256"));
  std::unique_ptr<X509, Deleter<X509, X509_free>> cert(X509_new());
  Require(key && cert, "key");
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), 1);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), 0);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), 86400);
  X509_set_pubkey(cert.get(), key.get());
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("sfxpack test"), -1,
                             -1, 0);
  X509_set_issuer_name(cert.get(), name);
  Require(X509_sign(cert.get(), key.get(), EVP_sha256()) > 0, "certificate");

  std::unique_ptr<PKCS7, Deleter<PKCS7, PKCS7_free>> p7(PKCS7_new());
  Require(p7 && PKCS7_set_type(p7.get(), NID_pkcs7_signed), "PKCS#7");
  PKCS7_SIGNER_INFO* signer = PKCS7_add_signature(p7.get(), cert.get(), key.get(), EVP_sha256());
  Require(signer != nullptr, "signer");
  PKCS7_add_signed_attribute(signer, NID_pkcs9_contentType, V_ASN1_OBJECT,
                             OBJ_txt2obj("1.3.6.1.4.1.311.2.1.4", 1));
  PKCS7_add_certificate(p7.get(), cert.get());
  PKCS7_content_new(p7.get(), NID_pkcs7_data);
  // The signer signs the content without its SEQUENCE header.
  const std::size_t header = content[1] & 0x80 ? 2 + (content[1] & 0x7F) : 2;
  BIO* bio = PKCS7_dataInit(p7.get(), nullptr);
  Require(bio != nullptr, "data");
  BIO_write(bio, content.data() + header, static_cast<int>(content.size() - header));
  const int finished = PKCS7_dataFinal(p7.get(), bio);
  BIO_free_all(bio);
  Require(finished == 1, "signature");

  PKCS7* indirect = PKCS7_new();
  indirect->type = OBJ_txt2obj("1.3.6.1.4.1.311.2.1.4", 1);
  indirect->d.other = ASN1_TYPE_new();
  indirect->d.other->type = V_ASN1_SEQUENCE;
  indirect->d.other->value.sequence = ASN1_STRING_new();
  ASN1_STRING_set(indirect->d.other->value.sequence, content.data(), static_cast<int>(content.size()));
  Require(PKCS7_set_content(p7.get(), indirect) == 1, "content");
  unsigned char* der = nullptr;
  const int length = i2d_PKCS7(p7.get(), &der);
  Require(length > 0, "DER");
  Bytes bytes(der, der + length);
  OPENSSL_free(der);
  return bytes;
}

}  // namespace

void SignImage(Bytes& image) {
  kestlib::PeImage pe;
  Require(kestlib::ParsePeImage(image.data(), image.size(), pe) == kestlib::PeError::None, "PE image");
  image.resize((image.size() + 7) / 8 * 8, 0);
  const Bytes der = SignedData(IndirectData(Sha256OfImage(image, pe)));
  // WIN_CERTIFICATE: its length, revision 2.0, PKCS#7 signed data.
  Bytes table = der;
  table.insert(table.begin(), {0, 0, 0, 0, 0x00, 0x02, 0x02, 0x00});
  table.resize((table.size() + 7) / 8 * 8, 0);
  WriteLe32(table, 0, static_cast<std::uint32_t>(table.size()));
  const std::size_t entry = pe.directoryTable + 8 * kestlib::kDirectorySecurity;
  WriteLe32(image, entry, static_cast<std::uint32_t>(image.size()));
  WriteLe32(image, entry + 4, static_cast<std::uint32_t>(table.size()));
  image.insert(image.end(), table.begin(), table.end());
  const std::size_t field = pe.optionalHeader + kestlib::kChecksumFieldOffset;
  WriteLe32(image, field, 0);
  kestlib::PeChecksum checksum;
  checksum.Add(image.data(), image.size());
  WriteLe32(image, field, checksum.Finish());
}

}  // namespace testsupport
