// verify, and inspect's exit code for a file it cannot examine; with the
// real 7-Zip, since only it tests an archive's CRCs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include <boost/json.hpp>

#include "Inspect.h"
#include "SfxpackFixture.h"
#include "SyntheticPe.h"
#include "core/pe/PeChecksum.h"
#include "core/pe/PeImage.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace sfxtest {
namespace {

class SfxpackVerifyTest : public SfxpackTest {
 protected:
  void SetUp() override {
    SfxpackTest::SetUp();
    UseReal7Zip();
  }

  // A real archive of a setup program of some hundred kilobytes.
  void PackArchive(const std::string& switches = "") {
    fs::create_directory(Path("payload"));
    std::string setup = "MZ";
    for (int i = 0; setup.size() < 300000; ++i) setup += "line " + std::to_string(i * 7919 % 100003) + "\n";
    WriteText(Path("payload/setup.exe"), setup);
    fs::remove(archive_);
    const std::string pack = "cd '" + Arg(Path("payload")) + "' && 7zz a -bso0 -bsp0 -mx=1 " + switches + " '" +
                             Arg(archive_) + "' setup.exe";
    ASSERT_EQ(std::system(pack.c_str()), 0);
  }

  int Verify(const fs::path& file) { return Run({"verify", Arg(file)}); }

  // Signs in with osslsigncode into out (nesting with -nest), or skips the
  // test where it cannot.
  void Sign(const fs::path& in, const fs::path& out, const std::string& options = "") {
    if (std::system("command -v osslsigncode >/dev/null && command -v openssl >/dev/null") != 0)
      GTEST_SKIP() << "no osslsigncode or openssl to sign with";
    const std::string sign = "cd '" + Arg(dir_) + "' && { [ -f cert.pem ] || openssl req -x509 -newkey rsa:2048 "
                             "-nodes -keyout key.pem -out cert.pem -days 2 -subj /CN=sfxpack-test >/dev/null 2>&1; } && "
                             "osslsigncode sign -certs cert.pem -key key.pem " + options + " -in '" + Arg(in) +
                             "' -out '" + Arg(out) + "' >/dev/null";
    ASSERT_EQ(std::system(sign.c_str()), 0);
  }

  bool OsslsigncodeVerifies(const fs::path& file) {
    const std::string verify = "osslsigncode verify -CAfile '" + Arg(Path("cert.pem")) + "' '" + Arg(file) +
                               "' >/dev/null 2>&1";
    return std::system(verify.c_str()) == 0;
  }
};

// The PE checksum recomputed over the file, as one who damages a signature
// on purpose would.
void FixChecksum(std::vector<std::uint8_t>& bytes) {
  kestlib::PeImage image;
  ASSERT_EQ(kestlib::ParsePeImage(bytes.data(), bytes.size(), image), kestlib::PeError::None);
  const std::size_t field = image.optionalHeader + kestlib::kChecksumFieldOffset;
  testsupport::WriteLe32(bytes, field, 0);
  kestlib::PeChecksum checksum;
  checksum.Add(bytes.data(), bytes.size());
  testsupport::WriteLe32(bytes, field, checksum.Finish());
}

// The offset of the file's Authenticode hash with the digest inside its
// certificate table.
std::size_t SignedDigestAt(const fs::path& file, const std::string& digest) {
  const auto bytes = ReadBytes(file);
  kestlib::PeImage image;
  EXPECT_EQ(kestlib::ParsePeImage(bytes.data(), bytes.size(), image), kestlib::PeError::None);
  const std::uint32_t table = kestlib::CertificateTable(image)->address;
  const auto hash = sfxpack::AuthenticodeHash(file, image, table, digest);
  EXPECT_TRUE(hash);
  const auto found = std::search(bytes.begin() + table, bytes.end(), hash->begin(), hash->end());
  EXPECT_NE(found, bytes.end()) << digest;
  return static_cast<std::size_t>(found - bytes.begin());
}

TEST_F(SfxpackVerifyTest, Verify_PassesGoodBrandedAndSignedInstallers) {
  PackArchive();
  ASSERT_EQ(Build(), 0) << err_.str();
  EXPECT_EQ(Verify(output_), 0) << err_.str();
  EXPECT_NE(out_.str().find("is sound"), std::string::npos) << out_.str();

  const fs::path branded = Path("branded.exe");
  ASSERT_EQ(Run({"build", "--stub", Arg(stub_), "--config", Arg(config_), "--archive", Arg(archive_), "--output",
                 Arg(branded), "--product-name", "Acme", "--file-version", "2.5.1.0"}),
            0)
      << err_.str();
  EXPECT_EQ(Verify(branded), 0) << err_.str();

  if (std::system("command -v osslsigncode >/dev/null && command -v openssl >/dev/null") != 0)
    GTEST_SKIP() << "no osslsigncode or openssl to sign with";
  const std::string sign = "cd '" + Arg(dir_) +
                           "' && openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 "
                           "-subj /CN=sfxpack-test >/dev/null 2>&1 && osslsigncode sign -certs cert.pem -key key.pem "
                           "-in setup.exe -out signed.exe >/dev/null";
  ASSERT_EQ(std::system(sign.c_str()), 0);
  EXPECT_EQ(Verify(Path("signed.exe")), 0) << err_.str();
}

// Where one byte flips decides only which check names it.
TEST_F(SfxpackVerifyTest, Verify_FindsOneFlippedByte) {
  PackArchive();
  ASSERT_EQ(Build(), 0) << err_.str();
  const sfxpack::InstallerReport r = sfxpack::ReadInstaller(output_);
  const auto good = ReadBytes(output_);
  std::uint64_t record = 0;  // the size record holds the file size
  for (std::uint64_t i = 0; i + 8 <= good.size() && !record; ++i) {
    std::uint64_t value = 0;
    for (int b = 7; b >= 0; --b) value = value << 8 | good[i + static_cast<std::size_t>(b)];
    if (value == good.size()) record = i;
  }
  ASSERT_NE(record, 0u);
  const std::pair<const char*, std::uint64_t> places[] = {
      {"archive: format version", r.archiveOffset + 7},
      {"archive: start header CRC", r.archiveOffset + 9},
      {"archive: packed data", r.archiveOffset + r.archiveLength / 2},
      {"archive: its header's last byte", r.archiveOffset + r.archiveLength - 1},
      {"configuration block: IV", r.blockOffset},
      {"configuration block: middle", r.blockOffset + r.blockLength / 2},
      {"configuration block: padding", r.blockOffset + r.blockLength - 1},
      {"size record", record + 1},
  };
  for (const auto& [place, offset] : places) {
    auto bytes = good;
    bytes[offset] ^= 0xFF;
    WriteBytes(output_, bytes);
    EXPECT_EQ(Verify(output_), 1) << place << ": " << err_.str();
    EXPECT_EQ(err_.str().rfind("sfxpack: error: ", 0), 0u) << place << ": " << err_.str();
    EXPECT_EQ(out_.str(), "") << place;
  }
}

TEST_F(SfxpackVerifyTest, Verify_ChecksEverySignatureAgainstTheFile) {
  PackArchive();
  ASSERT_EQ(Build(), 0) << err_.str();
  const fs::path signed_ = Path("signed.exe"), nested = Path("nested.exe"), tagged = Path("tagged.exe");
  Sign(output_, signed_);
  if (IsSkipped()) return;
  Sign(signed_, nested, "-nest -h sha512");
  ASSERT_EQ(Run({"tag", Arg(signed_), "--value", "order=A-17", "--output", Arg(tagged)}), 0) << err_.str();
  const std::pair<fs::path, const char*> sound[] = {
      {output_, "; unsigned\n"},
      {signed_, "; signed (sha256), matching the file; the certificates' trust is not checked\n"},
      {nested, "; signed (sha256, sha512), matching the file"},
      {tagged, "; signed (sha256), matching the file"}};
  for (const auto& [file, phrase] : sound) {
    EXPECT_EQ(Verify(file), 0) << Arg(file) << ": " << err_.str();
    EXPECT_NE(out_.str().find(phrase), std::string::npos) << out_.str();
  }
  ASSERT_EQ(Run({"inspect", Arg(nested)}), 0) << err_.str();
  EXPECT_NE(out_.str().find("signatures           2 (the certificates' trust is not checked)\n"
                            "  sha256: matches the file\n    sha512: matches the file\n"),
            std::string::npos)
      << out_.str();
  ASSERT_EQ(Run({"inspect", "--json", Arg(nested)}), 0) << err_.str();
  EXPECT_EQ(boost::json::parse(out_.str()).at("signatures"),
            boost::json::parse(R"([{"depth":0,"digestAlgorithm":"sha256","matches":true,"problem":null},)"
                               R"({"depth":1,"digestAlgorithm":"sha512","matches":true,"problem":null}])"));

  // Damaged on purpose, with the PE checksum made right again.
  const auto good = ReadBytes(nested);
  kestlib::PeImage image;
  ASSERT_EQ(kestlib::ParsePeImage(good.data(), good.size(), image), kestlib::PeError::None);
  const std::uint32_t table = kestlib::CertificateTable(image)->address;
  const struct {
    const char* what;
    std::size_t from, to;
    const char* phrase;
  } damages[] = {
      {"outer digest", SignedDigestAt(nested, "sha256"), 1, "the signature does not pass: its signer's signature over the signed digest does not verify"},
      {"nested digest", SignedDigestAt(nested, "sha512"), 1, "a signature nested 1 level deep does not pass"},
      {"random table", table + 8, good.size() - table - 8, "its PKCS#7 structure does not parse"},
  };
  for (const auto& damage : damages) {
    auto bytes = good;
    for (std::size_t i = 0; i < damage.to; ++i) bytes[damage.from + i] = static_cast<std::uint8_t>(bytes[damage.from + i] * 37 + 11);
    FixChecksum(bytes);
    const fs::path file = Path(std::string(damage.what) + ".exe");
    WriteBytes(file, bytes);
    EXPECT_EQ(Verify(file), 1) << damage.what;
    EXPECT_NE(err_.str().find(damage.phrase), std::string::npos) << damage.what << ": " << err_.str();
    EXPECT_EQ(Run({"tag", Arg(file), "--value", "a=1", "--in-place"}), 1) << damage.what;
    EXPECT_EQ(ReadBytes(file), bytes) << damage.what;
  }
}

#ifndef _WIN32
// On a full file system the tag cannot grow the file: it fails and leaves
// the file byte for byte as it was, still verifying.
TEST_F(SfxpackVerifyTest, TagInPlaceOnAFullDiskLeavesTheFileAsItWas) {
  if (geteuid() != 0 || std::system("command -v unshare >/dev/null") != 0)
    GTEST_SKIP() << "needs root and unshare to mount a small file system";
  PackArchive();
  ASSERT_EQ(Build(), 0) << err_.str();
  const fs::path signed_ = Path("signed.exe");
  Sign(output_, signed_);
  if (IsSkipped()) return;
  const fs::path disk = Path("disk"), after = Path("after.exe"), rc = Path("rc"), messages = Path("messages");
  fs::create_directory(disk);
  const std::string inside = Arg(disk / "setup.exe");
  // A file system of its own, in a mount namespace that ends with the shell.
  const std::string script =
      "unshare -m sh -c \"mount -t tmpfs -o size=" + std::to_string(fs::file_size(signed_) + 64 * 1024) + " tmpfs '" +
      Arg(disk) + "' && cp '" + Arg(signed_) + "' '" + inside + "' && { dd if=/dev/zero of='" + Arg(disk / "fill") +
      "' bs=4k 2>/dev/null; true; } && '" SFXPACK_PATH "' tag '" + inside + "' --value a=" + std::string(8000, 'x') +
      " --in-place 2>'" + Arg(messages) + "'; echo \\$? >'" + Arg(rc) + "'; cp '" + inside + "' '" + Arg(after) + "'\"";
  ASSERT_EQ(std::system(script.c_str()), 0);
  EXPECT_EQ(ReadBytes(rc), std::vector<std::uint8_t>({'1', '\n'}));
  const auto text = ReadBytes(messages);
  const std::string message(text.begin(), text.end());
  EXPECT_NE(message.find("No space left on device; \"" + inside + "\" is left as it was"), std::string::npos) << message;
  EXPECT_EQ(ReadBytes(after), ReadBytes(signed_));
  EXPECT_TRUE(OsslsigncodeVerifies(after));
  EXPECT_EQ(Verify(after), 0) << err_.str();
}
#endif

TEST_F(SfxpackVerifyTest, Verify_NotesWhatTheMissingPasswordHides) {
  PackArchive("-pX -mhe=on");
  ASSERT_EQ(Build(), 0) << err_.str();
  EXPECT_EQ(Verify(output_), 0) << err_.str();
  EXPECT_NE(err_.str().find("note: "), std::string::npos) << err_.str();
  EXPECT_NE(err_.str().find("without the password"), std::string::npos) << err_.str();

  // inspect --list cannot list it: 3, with JSON still on stdout and no
  // temporary path in the message.
  EXPECT_EQ(Run({"inspect", "--json", "--list", Arg(output_)}), 3);
  const boost::json::object report = boost::json::parse(out_.str()).as_object();
  EXPECT_TRUE(report.at("archive").as_object().contains("listError"));
  EXPECT_NE(err_.str().find("the archive of \"" + Arg(output_) + "\""), std::string::npos) << err_.str();
  EXPECT_EQ(err_.str().find(".7z"), std::string::npos) << err_.str();
}

TEST_F(SfxpackTest, VerifyAndInspect_CannotExamineWhatIsNoInstaller) {
  const std::pair<fs::path, const char*> files[] = {{stub_, "holds no configuration block"},
                                                    {config_, "is not a Windows program"},
                                                    {Path("missing.exe"), "does not exist"}};
  for (const auto& [file, phrase] : files) {
    EXPECT_EQ(Run({"verify", Arg(file)}), 3) << Arg(file);
    EXPECT_NE(err_.str().find(phrase), std::string::npos) << err_.str();
    EXPECT_EQ(Run({"inspect", "--json", Arg(file)}), 3) << Arg(file);
    EXPECT_NE(boost::json::parse(out_.str()).as_object().at("error").as_string().find(phrase), std::string::npos);
  }
}

}  // namespace
}  // namespace sfxtest
