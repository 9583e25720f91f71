#include "setup/payload/PayloadLocator.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "core/payload/PayloadFormat.h"
#include "TempDir.h"
#include "kestlib/Holders.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes Installer(const Bytes& block, std::size_t imageSize = 4096) {
  Bytes file(imageSize, 'M');
  const auto start = payload::MakeStartMarker();
  const auto end = payload::MakeEndMarker();
  file.insert(file.end(), start.begin(), start.end());
  file.insert(file.end(), block.begin(), block.end());
  file.insert(file.end(), end.begin(), end.end());
  file.insert(file.end(), payload::k7zSignature.begin(), payload::k7zSignature.end());
  file.resize(file.size() + 64, 0);
  return file;
}

Bytes Enciphered(const std::string& utf8) { return payload::EncipherText(utf8, payload::Iv{9, 8, 7}); }

class LocatePayloadTest : public ::testing::Test {
 protected:
  HRESULT Locate(const Bytes& file, std::wstring& text) {
    const auto path = m_dir / L"setup.exe";
    WriteFile(path, file);
    return LocatePayload(path.wstring(), text);
  }
  testsupport::TempDir m_dir;
};

constexpr HRESULT kInvalidData = static_cast<HRESULT>(0x8007000D);

TEST_F(LocatePayloadTest, DeciphersTheBlockIntoWideText) {
  std::wstring text = L"stale";
  // "Größe" and U+1F600, which needs a surrogate pair.
  const std::string utf8 = "[main]\nProductName=Gr\xC3\xB6\xC3\x9F" "e \xF0\x9F\x98\x80\n";
  ASSERT_EQ(Locate(Installer(Enciphered(utf8)), text), S_OK);
  EXPECT_EQ(text, L"[main]\nProductName=Gr\u00F6\u00DFe \xD83D\xDE00\n");
}

TEST_F(LocatePayloadTest, FileWithoutBlockIsInvalidData) {
  std::wstring text = L"stale";
  EXPECT_EQ(Locate(Bytes(100000, 'x'), text), kInvalidData);
  EXPECT_EQ(text, L"");
}

TEST_F(LocatePayloadTest, BlockBeyondTheTwentyMegabyteWindowIsNotFound) {
  std::wstring text;
  EXPECT_EQ(Locate(Installer(Enciphered("[main]\n"), payload::kBlockWindow), text), kInvalidData);
}

TEST_F(LocatePayloadTest, BlockThatIsNotUtf8CountsAsDamaged) {
  std::wstring text;
  EXPECT_EQ(Locate(Installer(Enciphered("[main]\nA=\xC3\x28\n")), text), kInvalidData);
  EXPECT_EQ(text, L"");
}

TEST_F(LocatePayloadTest, TooShortBlockGivesEmptyConfiguration) {
  std::wstring text = L"stale";
  EXPECT_EQ(Locate(Installer(Bytes(16, 'k')), text), S_OK);
  EXPECT_EQ(text, L"");
  EXPECT_EQ(Locate(Installer(Bytes(16 + 20, 'k')), text), S_OK);
  EXPECT_EQ(text, L"");
}

TEST_F(LocatePayloadTest, UnreadableFilesGiveTheWin32Error) {
  std::wstring text;
  EXPECT_EQ(LocatePayload((m_dir / L"missing.exe").wstring(), text), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));

  // An empty file cannot be mapped.
  const HRESULT empty = Locate(Bytes{}, text);
  EXPECT_TRUE(FAILED(empty));
  EXPECT_NE(empty, kInvalidData);

  // Another program holds the file open for writing without sharing.
  const auto locked = m_dir / L"locked.exe";
  WriteFile(locked, Installer(Enciphered("[main]\n")));
  kestlib::UniqueFile writer(
      CreateFileW(locked.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(writer);
  EXPECT_EQ(LocatePayload(locked.wstring(), text), HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION));
}

}  // namespace
