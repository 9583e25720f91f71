#include "Signatures.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include "Errors.h"
#include "FileIo.h"
#include "Interrupts.h"
#include "core/pe/PeChecksum.h"

namespace sfxpack {
namespace {

constexpr std::size_t kEntryHeader = 8;  // WIN_CERTIFICATE: dwLength, wRevision, wCertificateType
constexpr std::uint16_t kTypePkcsSignedData = 2;
constexpr std::size_t kDirectoryEntry = 8;
constexpr std::size_t kChunk = 1 << 20;
// Signing tools nest one level; a hostile table could nest without end.
constexpr unsigned kMaxDepth = 8;
const char* const kIndirectDataOid = "1.3.6.1.4.1.311.2.1.4";  // SpcIndirectDataContent
const char* const kNestedSignatureOid = "1.3.6.1.4.1.311.2.4.1";

template <typename T, void (*Free)(T*)>
struct Deleter {
  void operator()(T* p) const { Free(p); }
};
using Pkcs7 = std::unique_ptr<PKCS7, Deleter<PKCS7, PKCS7_free>>;
using Bio = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;
using Object = std::unique_ptr<ASN1_OBJECT, Deleter<ASN1_OBJECT, ASN1_OBJECT_free>>;
using DigestInfo = std::unique_ptr<X509_SIG, Deleter<X509_SIG, X509_SIG_free>>;
using Store = std::unique_ptr<X509_STORE, Deleter<X509_STORE, X509_STORE_free>>;
using DigestContext = std::unique_ptr<EVP_MD_CTX, Deleter<EVP_MD_CTX, EVP_MD_CTX_free>>;

void FreeTypes(STACK_OF(ASN1_TYPE) * types) { sk_ASN1_TYPE_pop_free(types, ASN1_TYPE_free); }
using Types = std::unique_ptr<STACK_OF(ASN1_TYPE), Deleter<STACK_OF(ASN1_TYPE), FreeTypes>>;

// OpenSSL's reasons for the last failure, which it queues per thread.
std::string OpenSslReason() {
  std::string reason;
  for (unsigned long code; (code = ERR_get_error()) != 0;) {
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    reason += (reason.empty() ? "" : "; ") + std::string(text);
  }
  return reason.empty() ? "no reason given" : reason;
}

Object Oid(const char* text) { return Object(OBJ_txt2obj(text, 1)); }

std::string OidName(const ASN1_OBJECT* object) {
  const int nid = OBJ_obj2nid(object);
  if (nid != NID_undef) return OBJ_nid2ln(nid);
  char text[80];
  OBJ_obj2txt(text, sizeof text, object, 1);
  return text;
}

// Hashes computed once per digest, however many signatures use it.
class Hasher {
 public:
  Hasher(const std::filesystem::path& file, const kestlib::PeImage& image, std::uint64_t tableOffset)
      : file_(file), image_(image), tableOffset_(tableOffset) {}

  const std::optional<std::vector<std::uint8_t>>& Hash(const std::string& digest) {
    auto found = hashes_.find(digest);
    if (found == hashes_.end())
      found = hashes_.emplace(digest, AuthenticodeHash(file_, image_, tableOffset_, digest)).first;
    return found->second;
  }

 private:
  const std::filesystem::path& file_;
  const kestlib::PeImage& image_;
  std::uint64_t tableOffset_;
  std::map<std::string, std::optional<std::vector<std::uint8_t>>> hashes_;
};

void Check(const std::uint8_t* der, std::size_t size, unsigned depth, Hasher& hasher,
           std::vector<SignatureCheck>& checks);

// The signatures nested in the unauthenticated attributes of signer.
void CheckNested(PKCS7_SIGNER_INFO* signer, unsigned depth, Hasher& hasher, std::vector<SignatureCheck>& checks) {
  const Object nested = Oid(kNestedSignatureOid);
  STACK_OF(X509_ATTRIBUTE)* attributes = signer->unauth_attr;
  for (int at = -1; (at = X509at_get_attr_by_OBJ(attributes, nested.get(), at)) >= 0;) {
    X509_ATTRIBUTE* attribute = X509at_get_attr(attributes, at);
    for (int i = 0; i < X509_ATTRIBUTE_count(attribute); ++i) {
      const ASN1_TYPE* value = X509_ATTRIBUTE_get0_type(attribute, i);
      if (value->type != V_ASN1_SEQUENCE) {
        checks.push_back({depth, "", "a nested signature is not a PKCS#7 structure"});
        continue;
      }
      Check(value->value.sequence->data, static_cast<std::size_t>(value->value.sequence->length), depth, hasher,
            checks);
    }
  }
}

// One signature and, behind it, those nested in it.
void Check(const std::uint8_t* der, std::size_t size, unsigned depth, Hasher& hasher,
           std::vector<SignatureCheck>& checks) {
  SignatureCheck check{depth, "", std::nullopt};
  const auto fail = [&](std::string problem) {
    check.problem = std::move(problem);
    checks.push_back(std::move(check));
  };
  if (depth > kMaxDepth) return fail("signatures are nested more than " + std::to_string(kMaxDepth) + " deep");
  const unsigned char* p = der;
  const Pkcs7 p7(d2i_PKCS7(nullptr, &p, static_cast<long>(size)));
  if (!p7) return fail("its PKCS#7 structure does not parse (" + OpenSslReason() + ")");
  // Every part below is optional in DER and may be missing.
  if (!PKCS7_type_is_signed(p7.get()) || !p7->d.sign || !p7->d.sign->contents ||
      OBJ_cmp(p7->d.sign->contents->type, Oid(kIndirectDataOid).get()) != 0 || !p7->d.sign->contents->d.other ||
      p7->d.sign->contents->d.other->type != V_ASN1_SEQUENCE)
    return fail("it is PKCS#7, but signs no Authenticode content (SpcIndirectDataContent)");
  STACK_OF(PKCS7_SIGNER_INFO)* signers = PKCS7_get_signer_info(p7.get());
  if (sk_PKCS7_SIGNER_INFO_num(signers) != 1)
    return fail("it has " + std::to_string(sk_PKCS7_SIGNER_INFO_num(signers)) +
                " signers; Authenticode has exactly one");

  // SpcIndirectDataContent: a SEQUENCE of the image data and a DigestInfo.
  const ASN1_STRING* content = p7->d.sign->contents->d.other->value.sequence;
  const unsigned char* c = content->data;
  const Types parts(d2i_ASN1_SEQUENCE_ANY(nullptr, &c, content->length));
  if (!parts || sk_ASN1_TYPE_num(parts.get()) != 2 || sk_ASN1_TYPE_value(parts.get(), 1)->type != V_ASN1_SEQUENCE)
    return fail("its signed content is not an SpcIndirectDataContent with a digest");
  const ASN1_STRING* digestInfo = sk_ASN1_TYPE_value(parts.get(), 1)->value.sequence;
  const unsigned char* d = digestInfo->data;
  const DigestInfo info(d2i_X509_SIG(nullptr, &d, digestInfo->length));
  if (!info) return fail("its signed digest does not parse (" + OpenSslReason() + ")");
  const X509_ALGOR* algorithm = nullptr;
  const ASN1_OCTET_STRING* signedDigest = nullptr;
  X509_SIG_get0(info.get(), &algorithm, &signedDigest);
  const ASN1_OBJECT* algorithmOid = nullptr;
  X509_ALGOR_get0(&algorithmOid, nullptr, nullptr, algorithm);
  check.digestAlgorithm = OidName(algorithmOid);

  // The signer signs the content without its own SEQUENCE header.
  const unsigned char* inner = content->data;
  long innerLength = 0;
  int tag = 0, cls = 0;
  if (ASN1_get_object(&inner, &innerLength, &tag, &cls, content->length) & 0x80)
    return fail("its signed content's DER does not parse");
  const Bio data(BIO_new_mem_buf(inner, static_cast<int>(innerLength)));
  const Store store(X509_STORE_new());
  // PKCS7_NOVERIFY: the signer's certificate is not checked against a root.
  if (!data || !store || PKCS7_verify(p7.get(), nullptr, store.get(), data.get(), nullptr, PKCS7_NOVERIFY | PKCS7_BINARY) != 1)
    return fail("its signer's signature over the signed digest does not verify (" + OpenSslReason() + ")");

  const auto& hash = hasher.Hash(check.digestAlgorithm);
  if (!hash) return fail("its digest algorithm " + check.digestAlgorithm + " is unknown to OpenSSL");
  if (signedDigest->length < 0 || hash->size() != static_cast<std::size_t>(signedDigest->length) ||
      !std::equal(hash->begin(), hash->end(), signedDigest->data))
    return fail("the digest it signs is not the file's " + check.digestAlgorithm +
                " Authenticode hash: the file was changed after it was signed");
  checks.push_back(std::move(check));
  CheckNested(sk_PKCS7_SIGNER_INFO_value(signers, 0), depth + 1, hasher, checks);
}

std::uint32_t U32(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> AuthenticodeHash(const std::filesystem::path& file,
                                                           const kestlib::PeImage& image,
                                                           std::uint64_t tableOffset, const std::string& digest) {
  const EVP_MD* md = EVP_get_digestbyname(digest.c_str());
  const DigestContext context(EVP_MD_CTX_new());
  if (!md || !context || EVP_DigestInit_ex(context.get(), md, nullptr) != 1) return std::nullopt;
  // The gaps: the checksum field and the certificate table's entry.
  const std::uint64_t checksum = image.optionalHeader + kestlib::kChecksumFieldOffset;
  const std::uint64_t entry = image.directoryTable + kestlib::kDirectorySecurity * kDirectoryEntry;
  const std::pair<std::uint64_t, std::uint64_t> ranges[] = {
      {0, checksum}, {checksum + 4, entry}, {entry + kDirectoryEntry, tableOffset}};
  std::ifstream in(file, std::ios::binary);
  std::vector<char> chunk(kChunk);
  for (const auto& [from, to] : ranges) {
    in.seekg(static_cast<std::streamoff>(from));
    for (std::uint64_t at = from; at < to;) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(to - at, chunk.size()));
      CheckInterrupt();
      if (!in.read(chunk.data(), static_cast<std::streamsize>(n))) throw ExamineError("cannot read " + Quoted(file));
      EVP_DigestUpdate(context.get(), chunk.data(), n);
      at += n;
    }
  }
  std::vector<std::uint8_t> hash(static_cast<std::size_t>(EVP_MD_get_size(md)));
  if (EVP_DigestFinal_ex(context.get(), hash.data(), nullptr) != 1) return std::nullopt;
  return hash;
}

std::vector<SignatureCheck> CheckSignatures(const std::filesystem::path& file, const kestlib::PeImage& image,
                                            std::uint64_t tableOffset, const std::vector<std::uint8_t>& table) {
  ERR_clear_error();
  std::vector<SignatureCheck> checks;
  if (table.size() < kEntryHeader || (table[6] | table[7] << 8) != kTypePkcsSignedData) {
    checks.push_back({0, "", "the certificate table holds no Authenticode (PKCS#7) signature"});
    return checks;
  }
  const std::uint32_t length = U32(table.data());
  if (length < kEntryHeader || length > table.size()) {
    checks.push_back({0, "", "the certificate table's first entry runs beyond the table"});
    return checks;
  }
  Hasher hasher(file, image, tableOffset);
  Check(table.data() + kEntryHeader, length - kEntryHeader, 0, hasher, checks);
  return checks;
}

std::vector<SignatureCheck> ReadSignatures(const std::filesystem::path& file, const kestlib::PeImage& image,
                                           const std::optional<kestlib::DataDirectory>& table,
                                           std::uint64_t fileSize) {
  if (!table) return {};
  const std::uint64_t headersEnd = image.directoryTable + kestlib::kDirectorySecurity * kDirectoryEntry + kDirectoryEntry;
  if (table->address < headersEnd || std::uint64_t{table->address} + table->size > fileSize)
    return {{0, "", "the certificate table does not lie between the headers and the end of the file"}};
  return CheckSignatures(file, image, table->address, ReadFileRange(file, table->address, table->size, "file"));
}

std::string SignatureName(const SignatureCheck& check) {
  if (check.depth == 0) return "the signature";
  return "a signature nested " + std::to_string(check.depth) + (check.depth == 1 ? " level" : " levels") + " deep";
}

}  // namespace sfxpack
