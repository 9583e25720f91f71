// Reading forwarded data from executable files on disk and writing
// "SetupValues.dat", as the setup worker does.
#include "setup/handoff/ForwardedData.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "Sfxpack.h"
#include "SyntheticPe.h"
#include "TempDir.h"

namespace fs = std::filesystem;
using forwarded::Values;

namespace {

constexpr HRESULT kNoData = static_cast<HRESULT>(0x80070103);
constexpr HRESULT kInvalidData = static_cast<HRESULT>(0x8007000D);

std::vector<std::uint8_t> Slot(std::size_t size, const std::string& text = "") {
  std::vector<std::uint8_t> bytes(size);
  std::copy(text.begin(), text.end(), bytes.begin());
  return bytes;
}

std::vector<std::uint8_t> Image(const std::string& id = "", const std::string& id2 = "",
                                bool slots = true) {
  testsupport::PeContents contents;
  if (slots)
    contents.resources = {{u"HLVID", Slot(256, id)}, {u"HLVID2", Slot(256, id2)},
                          {u"HV_VOLTARIN_PHASH", Slot(34)}};
  contents.resources.push_back({u"_HLV_VERIFY", Slot(8)});
  return testsupport::BuildPe(contents).bytes;
}

// The image, padding up to more than 64 KiB, and a block for data.
std::vector<std::uint8_t> WithBlock(std::vector<std::uint8_t> bytes, std::u16string_view data) {
  bytes.resize(70000, 'p');
  const auto block = forwarded::MakeTrailingBlock(data);
  bytes.insert(bytes.end(), block.begin(), block.end());
  return bytes;
}

void WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class ForwardedDataTest : public ::testing::Test {
 protected:
  std::wstring File(const std::wstring& name, const std::vector<std::uint8_t>& bytes) {
    const fs::path path = m_dir / name;
    WriteFile(path, bytes);
    return path.wstring();
  }
  HRESULT Read(const std::wstring& path, ForwardedDataSource source = ForwardedDataSource::Auto,
               unsigned options = 0) {
    m_values = {{u"stale", u"1"}};
    m_used = static_cast<ForwardedDataSource>(99);
    return ReadForwardedData(path, m_values, source, &m_used, options);
  }
  std::wstring DataFile() const { return (m_dir / L"SetupValues.dat").wstring(); }

  testsupport::TempDir m_dir;
  Values m_values;
  ForwardedDataSource m_used{};
};

TEST_F(ForwardedDataTest, ZeroSlotsGiveEmptyValuesWhichTheOptionDrops) {
  const std::wstring exe = File(L"setup.exe", Image());
  ASSERT_EQ(Read(exe), S_OK);
  EXPECT_EQ(m_used, ForwardedDataSource::Resources);
  EXPECT_EQ(m_values, (Values{{u"HLVID", u""}, {u"HLVID2", u""}, {u"HV_VOLTARIN_PHASH", u""}}));
  ASSERT_EQ(Read(exe, ForwardedDataSource::Auto, kDropEmptyValues), S_OK);
  EXPECT_TRUE(m_values.empty());
}

TEST_F(ForwardedDataTest, SlotTextEndsAtZeroOrFillsTheSlot) {
  const std::wstring exe = File(L"setup.exe", Image("abc", std::string(256, 'z')));
  ASSERT_EQ(Read(exe, ForwardedDataSource::Resources, kDropEmptyValues), S_OK);
  EXPECT_EQ(m_used, ForwardedDataSource::Resources);
  EXPECT_EQ(m_values, (Values{{u"HLVID", u"abc"}, {u"HLVID2", std::u16string(256, u'z')}}));
}

TEST_F(ForwardedDataTest, NoSlotsAndNoBlockIsNoData) {
  const std::wstring exe = File(L"setup.exe", Image("", "", false));
  EXPECT_EQ(Read(exe, ForwardedDataSource::Resources), kNoData);
  EXPECT_TRUE(m_values.empty());
  EXPECT_NE(Read(exe), S_OK);  // shorter than 64 KiB: never a block
  EXPECT_EQ(m_used, ForwardedDataSource::TrailingBlock);
}

TEST_F(ForwardedDataTest, FileWithoutMzIsRefused) {
  EXPECT_EQ(Read(File(L"a.exe", {'Z', 'M', 0, 0}), ForwardedDataSource::Resources), static_cast<HRESULT>(0x80070714));
  EXPECT_EQ(Read(File(L"b.exe", {}), ForwardedDataSource::Resources), static_cast<HRESULT>(0x80070714));
  EXPECT_EQ(Read((m_dir / L"missing.exe").wstring()), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
}

TEST_F(ForwardedDataTest, ReadsTrailingBlockOfFileWithoutSlots) {
  const std::wstring exe = File(L"setup.exe", WithBlock(Image("", "", false), u"a=1&b=%41%42&x"));
  ASSERT_EQ(Read(exe), S_OK);
  EXPECT_EQ(m_used, ForwardedDataSource::TrailingBlock);
  EXPECT_EQ(m_values, (Values{{u"a", u"1"}, {u"b", u"AB"}, {u"x", u""}}));
  ASSERT_EQ(Read(exe, ForwardedDataSource::TrailingBlock, kDropEmptyValues), S_OK);
  EXPECT_EQ(m_values, (Values{{u"a", u"1"}, {u"b", u"AB"}}));
}

TEST_F(ForwardedDataTest, BrokenBlockIsInvalidAsAWhole) {
  EXPECT_EQ(Read(File(L"a.exe", WithBlock(Image("", "", false), u"ok=1&a=%4"))), kInvalidData);
  EXPECT_TRUE(m_values.empty());
  auto noEnd = WithBlock(Image("", "", false), u"a=1");
  noEnd.resize(noEnd.size() - 4);
  EXPECT_EQ(Read(File(L"b.exe", noEnd), ForwardedDataSource::TrailingBlock), kInvalidData);
  EXPECT_EQ(Read(File(L"c.exe", std::vector<std::uint8_t>(70000, 'q')), ForwardedDataSource::TrailingBlock),
            kNoData);
}

TEST_F(ForwardedDataTest, ShortFileNeverYieldsABlock) {
  std::vector<std::uint8_t> bytes = forwarded::MakeTrailingBlock(u"a=1");
  bytes.insert(bytes.begin(), 65535 - bytes.size(), 'p');
  const HRESULT hr = Read(File(L"short.exe", bytes), ForwardedDataSource::TrailingBlock);
  EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
  EXPECT_FALSE(m_values.count(u"a"));
}

TEST_F(ForwardedDataTest, SlotsComeBeforeABlock) {
  const std::wstring exe = File(L"setup.exe", WithBlock(Image("slot"), u"HLVID=block&b=2"));
  ASSERT_EQ(Read(exe, ForwardedDataSource::Auto, kDropEmptyValues), S_OK);
  EXPECT_EQ(m_used, ForwardedDataSource::Resources);
  EXPECT_EQ(m_values, (Values{{u"HLVID", u"slot"}}));
}

TEST_F(ForwardedDataTest, WritesNothingWithoutValues) {
  WriteSetupValues(DataFile(), File(L"setup.exe", Image()));
  EXPECT_FALSE(fs::exists(DataFile()));
  WriteSetupValues(DataFile(), File(L"Product--ph0123456789abcdefg.exe", Image()));  // 17 characters
  EXPECT_FALSE(fs::exists(DataFile()));
  WriteSetupValues(DataFile(), File(L"Product--ph0123456789abcdef", Image()));  // no period
  EXPECT_FALSE(fs::exists(DataFile()));
}

TEST_F(ForwardedDataTest, WritesIdentifierFromTheFileName) {
  WriteSetupValues(DataFile(), File(L"Product--ph0123456789abcdef.exe", Image()));
  EXPECT_EQ(ReadText(DataFile()), "HLVID2=0123456789abcdef\r\n");
  WriteSetupValues(DataFile(), File(L"Setup--ph0123456789ABCDEF (2).exe", Image("", "from slot")));
  EXPECT_EQ(ReadText(DataFile()), "HLVID2=0123456789ABCDEF\r\n");
}

TEST_F(ForwardedDataTest, WritesSortedUtf8Lines) {
  testsupport::PeContents contents;
  contents.resources = {{u"HV_VOLTARIN_PHASH", Slot(34, "hash")}, {u"HLVID2", Slot(256, "two")},
                        {u"HLVID", Slot(256, "Pr\xC3\xBC" "f")}};
  WriteSetupValues(DataFile(), File(L"setup.exe", testsupport::BuildPe(contents).bytes));
  EXPECT_EQ(ReadText(DataFile()), "HLVID=Pr\xC3\xBC" "f\r\nHLVID2=two\r\nHV_VOLTARIN_PHASH=hash\r\n");
}

TEST_F(ForwardedDataTest, SfxpackRoundTrip) {
  const fs::path stub = m_dir / L"stub.exe", config = m_dir / L"config.txt",
                 archive = m_dir / L"payload.7z", output = m_dir / L"out.exe";
  WriteFile(stub, Image());
  WriteFile(config, {'[', 'm', 'a', 'i', 'n', ']', '\n'});
  std::vector<std::uint8_t> payload = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
  payload.resize(70000, 'a');
  WriteFile(archive, payload);
  std::ostringstream out, err;
  ASSERT_EQ(sfxpack::RunSfxpack({"build", "--stub", stub.u8string(), "--config", config.u8string(),
                                 "--archive", archive.u8string(), "--output", output.u8string(),
                                 "--slot", "HLVID=Prüf", "--slot", "HV_VOLTARIN_PHASH=" + std::string(34, 'h'),
                                 "--trailing-data", "a=1&b=%41%42&c=x%26y"},
                                out, err),
            0)
      << err.str();
  ASSERT_EQ(Read(output.wstring(), ForwardedDataSource::Auto, kDropEmptyValues), S_OK);
  EXPECT_EQ(m_values, (Values{{u"HLVID", u"Prüf"}, {u"HV_VOLTARIN_PHASH", std::u16string(34, u'h')}}));
  ASSERT_EQ(Read(output.wstring(), ForwardedDataSource::TrailingBlock), S_OK);
  EXPECT_EQ(m_values, (Values{{u"a", u"1"}, {u"b", u"AB"}, {u"c", u"x&y"}}));

  ASSERT_EQ(sfxpack::RunSfxpack({"inspect", output.u8string()}, out, err), 0) << err.str();
  const std::string lines[] = {"  HLVID=Prüf\n", "  HLVID2=\n", "trailing data block  3 entries\n  a=1\n  b=AB\n  c=x&y\n",
                               std::to_string(fs::file_size(output)) + " (matches the file size)"};
  for (const std::string& line : lines) EXPECT_NE(out.str().find(line), std::string::npos) << out.str();
}

}  // namespace
