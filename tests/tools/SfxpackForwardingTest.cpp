// --slot, --trailing-data and the forwarded data that inspect shows.
#include <gtest/gtest.h>

#include "core/handoff/ForwardedDataFormat.h"
#include "Inspect.h"
#include "SfxpackFixture.h"
#include "SyntheticPe.h"

namespace sfxtest {
namespace {

std::vector<std::uint8_t> StubWithSlots(bool slots = true) {
  testsupport::PeContents contents;
  if (slots)
    contents.resources = {{u"HLVID", std::vector<std::uint8_t>(256)},
                          {u"HLVID2", std::vector<std::uint8_t>(256)},
                          {u"HV_VOLTARIN_PHASH", std::vector<std::uint8_t>(34)}};
  contents.resources.push_back({u"_HLV_VERIFY", std::vector<std::uint8_t>(8)});
  return testsupport::BuildPe(contents).bytes;
}

class SfxpackForwardingTest : public SfxpackTest {
 protected:
  void SetUp() override {
    SfxpackTest::SetUp();
    WriteBytes(stub_, StubWithSlots());
    // Long enough for the installer to look for a trailing block.
    auto archive = FakeArchive();
    archive.resize(70000, 'a');
    WriteBytes(archive_, archive);
    inputs_ = FolderContents();
  }

  forwarded::Values Slots() {
    forwarded::Values values;
    for (const auto& [name, value] : sfxpack::ReadInstaller(output_).forwarded.slots) values[name] = value;
    return values;
  }
};

TEST_F(SfxpackForwardingTest, WritesSlotValuesThatInspectReads) {
  const std::string full(256, 'f');
  ASSERT_EQ(Build({"--slot", "HLVID=abc", "--slot=HLVID2=" + full, "--slot", "HV_VOLTARIN_PHASH=Prüf"}), 0)
      << err_.str();
  EXPECT_EQ(Slots(), (forwarded::Values{{u"HLVID", u"abc"},
                                        {u"HLVID2", std::u16string(256, u'f')},
                                        {u"HV_VOLTARIN_PHASH", u"Prüf"}}));
  ASSERT_EQ(Run({"inspect", Arg(output_)}), 0) << err_.str();
  const std::string lines[] = {"data slots           3\n  HLVID=abc\n  HLVID2=" + full +
                                   "\n  HV_VOLTARIN_PHASH=Prüf\n",
                               "forwarded from       the data slots\n"};
  for (const std::string& line : lines) EXPECT_NE(out_.str().find(line), std::string::npos) << out_.str();
}

TEST_F(SfxpackForwardingTest, EmptySlotsStayZero) {
  ASSERT_EQ(Build(), 0) << err_.str();
  EXPECT_EQ(Slots(), (forwarded::Values{{u"HLVID", u""}, {u"HLVID2", u""}, {u"HV_VOLTARIN_PHASH", u""}}));
}

TEST_F(SfxpackForwardingTest, AppendsEscapedTrailingBlockCountedInTheSizeRecord) {
  ASSERT_EQ(Build({"--trailing-data", "a=1&b=%41%42&c=x%26y#&d=ü"}), 0) << err_.str();
  const auto bytes = ReadBytes(output_);
  const auto block = forwarded::MakeTrailingBlock(u"a=1&b=AB&c=x%26y%23&d=ü");
  ASSERT_GE(bytes.size(), block.size());
  EXPECT_TRUE(std::equal(block.begin(), block.end(), bytes.end() - block.size()));
  const sfxpack::InstallerReport report = sfxpack::ReadInstaller(output_);
  EXPECT_EQ(report.verifyValue, bytes.size());
  EXPECT_EQ(report.forwarded.block, forwarded::BlockResult::Read);
  EXPECT_EQ(report.forwarded.blockValues,
            (forwarded::Values{{u"a", u"1"}, {u"b", u"AB"}, {u"c", u"x&y#"}, {u"d", u"ü"}}));
  EXPECT_NE(err_.str().find("forwards them and not the trailing data block"), std::string::npos);
}

TEST_F(SfxpackForwardingTest, TrailingBlockIsForwardedFromAStubWithoutSlots) {
  WriteBytes(stub_, StubWithSlots(false));
  ASSERT_EQ(Build({"--trailing-data", "x&k=v"}), 0) << err_.str();
  EXPECT_NE(err_.str().find("entry \"x\" has an empty value"), std::string::npos) << err_.str();
  ASSERT_EQ(Run({"inspect", Arg(output_)}), 0) << err_.str();
  const std::string lines[] = {"data slots           none\n",
                               "trailing data block  2 entries\n  k=v\n  x=\n",
                               "forwarded from       the trailing data block\n"};
  for (const std::string& line : lines) EXPECT_NE(out_.str().find(line), std::string::npos) << out_.str();
}

TEST_F(SfxpackForwardingTest, RefusesUnknownSlotAndTooLongValue) {
  ExpectRefused(Build({"--slot", "HLVID3=x"}), "no data slot \"HLVID3\" (its data slots: HLVID, HLVID2, HV_VOLTARIN_PHASH)");
  ExpectRefused(Build({"--slot", "_HLV_VERIFY=x"}), "no data slot");
  ExpectRefused(Build({"--slot", "hlvid=x"}), "no data slot");
  ExpectRefused(Build({"--slot", "HV_VOLTARIN_PHASH=" + std::string(35, 'p')}), "has 35 bytes; the slot holds 34");
  ExpectRefused(Build({"--slot", "HLVID=" + std::string(255, 'p') + "\xC3\xBC"}), "has 257 bytes");
  ExpectRefused(Build({"--slot", "HLVID=a\r\nb"}), "not UTF-8 text on one line");
}

TEST_F(SfxpackForwardingTest, RefusesBadSlotSyntaxAsUsage) {
  for (const char* value : {"HLVID", "=abc"}) {
    EXPECT_EQ(Build({"--slot", value}), 2) << value;
    EXPECT_NE(err_.str().find("--slot needs NAME=VALUE"), std::string::npos) << err_.str();
    EXPECT_EQ(FolderContents(), inputs_);
  }
  EXPECT_EQ(Build({"--slot", "HLVID=a", "--slot", "HLVID=b"}), 2);
  EXPECT_EQ(Build({"--trailing-data", "a", "--trailing-data", "b"}), 2);
  EXPECT_EQ(FolderContents(), inputs_);
}

TEST_F(SfxpackForwardingTest, RefusesTrailingDataTheInstallerCouldNotUse) {
  ExpectRefused(Build({"--trailing-data", "a=%4"}), "not followed by two hexadecimal digits");
  ExpectRefused(Build({"--trailing-data", "a=%0D%0Ab"}), "cannot be forwarded");
  ExpectRefused(Build({"--trailing-data", "=v"}), "cannot be forwarded");
  ExpectRefused(Build({"--trailing-data", "a=" + std::string(40000, 'v')}), "within the last 65536");
  WriteBytes(stub_, StubWithSlots(false));  // no note about the slots before the message
  WriteBytes(archive_, FakeArchive());
  WriteText(config_, std::string(kConfig) + "ForwardResourceDataFromSFX=1\n");
  inputs_ = FolderContents();
  ExpectRefused(Build({"--trailing-data", "a=1"}), "read only from a file of at least 65536 bytes");
}

TEST_F(SfxpackForwardingTest, Build_WarnsThatDataReachesNoSetupWithoutForwarding) {
  EXPECT_EQ(Build({"--slot", "HLVID=x"}), 0) << err_.str();
  EXPECT_NE(err_.str().find("sfxpack: warning: --slot and --trailing-data reach the setup only with "
                            "ForwardResourceDataFromSFX=1"),
            std::string::npos)
      << err_.str();
}

#ifdef SETUPSFX_STUB
TEST_F(SfxpackForwardingTest, FillsTheRealStubsSlots) {
  fs::copy_file(SETUPSFX_STUB, stub_, fs::copy_options::overwrite_existing);
  ASSERT_EQ(Build({"--slot", "HLVID2=0123456789abcdef", "--slot", "HV_VOLTARIN_PHASH=" + std::string(34, 'h')}), 0)
      << err_.str();
  EXPECT_EQ(Slots(), (forwarded::Values{{u"HLVID", u""},
                                        {u"HLVID2", u"0123456789abcdef"},
                                        {u"HV_VOLTARIN_PHASH", std::u16string(34, u'h')}}));
  EXPECT_EQ(sfxpack::ReadInstaller(output_).verifyValue, fs::file_size(output_));
}
#endif

}  // namespace
}  // namespace sfxtest
