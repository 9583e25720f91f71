#include "setup/payload/ResourceFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "TempDir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint16_t kRcdata = 10;
constexpr HRESULT kNotExecutable = static_cast<HRESULT>(0x80070714);
constexpr HRESULT kSharingViolation = static_cast<HRESULT>(0x80070020);

std::wstring OwnPath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

kestlib::UniqueFile HoldWithoutSharing(const std::filesystem::path& path) {
  return kestlib::UniqueFile(
      CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

TEST(ReadResourceFromFileTest, ReadsANamedResourceOfARunningProgram) {
  Bytes bytes;
  ASSERT_EQ(ReadResourceFromFile(OwnPath(), kRcdata, L"ResourceFileTestData", bytes), S_OK);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "resource bytes");
}

TEST(ReadResourceFromFileTest, NamesAreComparedWithoutCase) {
  Bytes bytes;
  ASSERT_EQ(ReadResourceFromFile(OwnPath(), kRcdata, L"resourcefiletestdata", bytes), S_OK);
  EXPECT_EQ(bytes.size(), 14u);
}

TEST(ReadResourceFromFileTest, MissingResourceGivesTheLookupError) {
  Bytes bytes{1, 2, 3};
  EXPECT_EQ(ReadResourceFromFile(OwnPath(), kRcdata, L"NoSuchResource", bytes),
            HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_TRUE(bytes.empty());
}

TEST(ReadResourceFromFileTest, FileWithoutMzIsRefused) {
  testsupport::TempDir dir;
  WriteFile(dir / L"text.exe", "This is no program, only some text.");
  Bytes bytes;
  EXPECT_EQ(ReadResourceFromFile((dir / L"text.exe").wstring(), kRcdata, L"ResourceFileTestData", bytes),
            kNotExecutable);
}

TEST(ReadResourceFromFileTest, EmptyFileIsRefused) {
  testsupport::TempDir dir;
  WriteFile(dir / L"empty.exe", "");
  Bytes bytes;
  EXPECT_EQ(ReadResourceFromFile((dir / L"empty.exe").wstring(), kRcdata, L"ResourceFileTestData", bytes),
            kNotExecutable);
}

TEST(ReadResourceFromFileTest, MzWithoutPeImageIsNoExecutable) {
  testsupport::TempDir dir;
  WriteFile(dir / L"mz.exe", "MZ and nothing that looks like a PE header");
  Bytes bytes;
  EXPECT_EQ(ReadResourceFromFile((dir / L"mz.exe").wstring(), kRcdata, L"ResourceFileTestData", bytes),
            HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT));
}

TEST(ReadResourceFromFileTest, MissingFileGivesTheOpenError) {
  testsupport::TempDir dir;
  Bytes bytes;
  EXPECT_EQ(ReadResourceFromFile((dir / L"absent.exe").wstring(), kRcdata, L"ResourceFileTestData", bytes),
            HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
}

TEST(OpenFileWithRetryTest, OpensForReadingAndSharesReading) {
  kestlib::UniqueFile file;
  ASSERT_EQ(OpenFileWithRetry(OwnPath(), file), S_OK);
  kestlib::UniqueFile second;
  EXPECT_EQ(OpenFileWithRetry(OwnPath(), second), S_OK);
}

TEST(OpenFileWithRetryTest, MissingFileFailsAfterOneAttempt) {
  testsupport::TempDir dir;
  kestlib::UniqueFile file;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(OpenFileWithRetry((dir / L"absent.txt").wstring(), file), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  // One pause before the one attempt; the retries would take four.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
  EXPECT_FALSE(file);
}

TEST(OpenFileWithRetryTest, FileHeldWithoutSharingFailsAfterTheRetries) {
  testsupport::TempDir dir;
  WriteFile(dir / L"held.txt", "held");
  const kestlib::UniqueFile holder = HoldWithoutSharing(dir / L"held.txt");
  ASSERT_TRUE(holder);

  kestlib::UniqueFile file;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(OpenFileWithRetry((dir / L"held.txt").wstring(), file), kSharingViolation);
  // Four pauses of 250 ms, before each of the first four attempts.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(950));
  EXPECT_FALSE(file);
}

TEST(OpenFileWithRetryTest, FileReleasedDuringTheRetriesIsOpened) {
  testsupport::TempDir dir;
  WriteFile(dir / L"held.txt", "held");
  kestlib::UniqueFile holder = HoldWithoutSharing(dir / L"held.txt");
  ASSERT_TRUE(holder);

  auto release = std::async(std::launch::async, [&holder] {
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    holder.reset();
  });
  kestlib::UniqueFile file;
  EXPECT_EQ(OpenFileWithRetry((dir / L"held.txt").wstring(), file), S_OK);
  EXPECT_TRUE(file);
  release.get();
}

}  // namespace
