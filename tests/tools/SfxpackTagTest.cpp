// sfxpack tag: values in the signature of a signed installer, and what
// inspect shows of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "AuthenticodeSigner.h"
#include "Inspect.h"
#include "SfxpackFixture.h"
#include "SyntheticPe.h"
#include "core/pe/PeChecksum.h"
#include "core/pe/PeImage.h"

namespace sfxtest {
namespace {

class SfxpackTagTest : public SfxpackTest {
 protected:
  void SetUp() override {
    SfxpackTest::SetUp();
    ASSERT_EQ(Build(), 0) << err_.str();
    std::vector<std::uint8_t> bytes = ReadBytes(output_);
    testsupport::SignImage(bytes);
    signed_ = Path("signed.exe");
    WriteBytes(signed_, bytes);
    fs::remove(output_);
    inputs_ = FolderContents();
  }

  int Tag(const fs::path& file, const std::vector<std::string>& values, const std::string& mode = "--output") {
    std::vector<std::string> args = {"tag", Arg(file)};
    for (const std::string& value : values) args.insert(args.end(), {"--value", value});
    args.push_back(mode);
    if (mode == "--output") args.push_back(Arg(output_));
    return Run(args);
  }

  forwarded::Values TagValues(const fs::path& file) {
    const sfxpack::InstallerReport report = sfxpack::ReadInstaller(file);
    EXPECT_TRUE(sfxpack::Mismatches(report).empty());
    EXPECT_EQ(report.forwarded.tag, forwarded::TagResult::Read);
    return report.forwarded.tagValues;
  }

  fs::path signed_;
};

TEST_F(SfxpackTagTest, TaggedInstallerKeepsItsRecordsAndInspectShowsTheValues) {
  ASSERT_EQ(Tag(signed_, {"order=A-17", "campaign=spring & more"}), 0) << err_.str();
  EXPECT_EQ(TagValues(output_), (forwarded::Values{{u"order", u"A-17"}, {u"campaign", u"spring & more"}}));
  ASSERT_EQ(Run({"inspect", Arg(output_)}), 0) << err_.str();
  EXPECT_NE(out_.str().find("signature tag        2 entries\n  campaign=spring & more\n  order=A-17\n"),
            std::string::npos)
      << out_.str();
  EXPECT_NE(out_.str().find(" (the size before signing; the installer checks the certificate table's end)\n"),
            std::string::npos)
      << out_.str();
  ASSERT_EQ(Run({"inspect", "--json", Arg(output_)}), 0) << err_.str();
  EXPECT_NE(out_.str().find(R"("signatureTag":{"state":"read","values":{"campaign":"spring & more","order":"A-17"}})"),
            std::string::npos)
      << out_.str();
}

TEST_F(SfxpackTagTest, TaggingAgainReplacesTheValues) {
  ASSERT_EQ(Tag(signed_, {"order=A-17", "campaign=spring"}), 0) << err_.str();
  ASSERT_EQ(Tag(output_, {"order=B-2"}, "--in-place"), 0) << err_.str();
  EXPECT_EQ(TagValues(output_), (forwarded::Values{{u"order", u"B-2"}}));
}

TEST_F(SfxpackTagTest, InPlaceAndOutputGiveTheSameFile) {
  const fs::path copy = Path("copy.exe");
  fs::copy_file(signed_, copy);
  ASSERT_EQ(Tag(signed_, {"order=A-17"}), 0) << err_.str();
  ASSERT_EQ(Tag(copy, {"order=A-17"}, "--in-place"), 0) << err_.str();
  EXPECT_EQ(ReadBytes(copy), ReadBytes(output_));
}

TEST_F(SfxpackTagTest, RefusesWhatItCannotTag) {
  std::vector<std::uint8_t> appended = ReadBytes(signed_), damaged = appended, changed = appended;
  appended.push_back(0);
  kestlib::PeImage image;
  ASSERT_EQ(kestlib::ParsePeImage(damaged.data(), damaged.size(), image), kestlib::PeError::None);
  const std::uint32_t table = kestlib::CertificateTable(image)->address;
  damaged[table + 9] ^= 0x7F;  // the outer DER length
  changed[table - 1] ^= 1;     // a byte the signature covers
  WriteBytes(Path("appended.exe"), appended);
  WriteBytes(Path("damaged.exe"), damaged);
  WriteBytes(Path("changed.exe"), changed);
  ASSERT_EQ(Build(), 0) << err_.str();
  fs::rename(output_, Path("unsigned.exe"));
  inputs_ = FolderContents();
  const struct {
    const char* file;
    std::vector<std::string> values;
    std::string phrase;
  } refusals[] = {
      {"unsigned.exe", {"a=1"}, "is not signed: tag writes into a signature. For an unsigned installer, give the "
                                "values to build with --slot"},
      {"appended.exe", {"a=1"}, "does not end the file"},
      {"damaged.exe", {"a=1"}, "is malformed"},
      {"changed.exe", {"a=1"}, "the signature of \"" + Arg(Path("changed.exe")) + "\" does not pass: the digest it "
                               "signs is not the file's sha256 Authenticode hash"},
      {"signed.exe", {"a=" + std::string(9000, 'x')}, "16384 bytes as a data block, where each character of the names "
                                                      "and values takes 2 bytes (UTF-16), so fewer than 8192 characters"},
      {"signed.exe", {"a=two\nlines"}, "the value of a breaks a line (a CR, LF or NUL)"},
      {"signed.exe", {"a\rb=1"}, "the name \"a\rb\" is empty or holds \"=\" or a line break"},
  };
  for (const auto& refusal : refusals) {
    SCOPED_TRACE(refusal.phrase);
    ExpectRefused(Tag(Path(refusal.file), refusal.values), refusal.phrase);
  }
}

TEST_F(SfxpackTagTest, UsageNamesWhatIsMissing) {
  const struct {
    std::vector<std::string> args;
    const char* phrase;
  } usages[] = {
      {{"tag", Arg(signed_), "--in-place"}, "tag needs at least one --value"},
      {{"tag", Arg(signed_), "--value", "a=1"}, "tag needs either --output FILE or --in-place"},
      {{"tag", Arg(signed_), "--value", "a=1", "--in-place", "--output", "x.exe"}, "either --output FILE or --in-place"},
      {{"tag", Arg(signed_), "--value", "=1", "--in-place"}, "--value needs NAME=VALUE"},
      {{"tag", Arg(signed_), "--value", "a=1", "--value=a=2", "--in-place"}, "--value a is given more than once"},
  };
  for (const auto& usage : usages) {
    EXPECT_EQ(Run(usage.args), 2) << usage.phrase;
    EXPECT_NE(err_.str().find(usage.phrase), std::string::npos) << err_.str();
  }
  EXPECT_EQ(FolderContents(), inputs_);
}

#ifndef _WIN32
// A real signature stays valid: its hash leaves the certificate table out.
TEST_F(SfxpackTagTest, OsslsigncodeStillVerifiesTheTaggedInstaller) {
  if (std::system("osslsigncode --version >/dev/null 2>&1 && openssl version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "osslsigncode or openssl is not installed";
  ASSERT_EQ(Build(), 0) << err_.str();
  const std::string dir = Arg(dir_);
  const std::string sign =
      "cd '" + dir + "' && openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -noenc -days 1 "
      "-subj /CN=test -keyout test.key -out test.crt >/dev/null 2>&1 && "
      "osslsigncode sign -certs test.crt -key test.key -in setup.exe -out real.exe >/dev/null";
  ASSERT_EQ(std::system(sign.c_str()), 0);
  ASSERT_EQ(Tag(Path("real.exe"), {"order=A-17"}), 0) << err_.str();
  ASSERT_EQ(Tag(Path("real.exe"), {"order=A-17", "campaign=spring"}, "--in-place"), 0) << err_.str();
  EXPECT_EQ(TagValues(Path("real.exe")), (forwarded::Values{{u"order", u"A-17"}, {u"campaign", u"spring"}}));
  for (const char* file : {"setup.exe", "real.exe"}) {
    // The checksum follows the tag, though only the changed bytes are read.
    const std::vector<std::uint8_t> bytes = ReadBytes(Path(file));
    kestlib::PeImage image;
    ASSERT_EQ(kestlib::ParsePeImage(bytes.data(), bytes.size(), image), kestlib::PeError::None);
    const std::size_t field = image.optionalHeader + kestlib::kChecksumFieldOffset;
    std::vector<std::uint8_t> zeroed = bytes;
    std::fill(zeroed.begin() + field, zeroed.begin() + field + 4, 0);
    kestlib::PeChecksum checksum;
    checksum.Add(zeroed.data(), zeroed.size());
    EXPECT_EQ(testsupport::ReadLe32(bytes, field), checksum.Finish()) << file;
    const std::string verify = "cd '" + dir + "' && osslsigncode verify -CAfile test.crt " + file + " >/dev/null 2>&1";
    EXPECT_EQ(std::system(verify.c_str()), 0) << file;
  }
}
#endif

}  // namespace
}  // namespace sfxtest
