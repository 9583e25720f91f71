// The extraction worker as the progress dialog runs it: on its own thread,
// reporting by messages, removing a failed temporary folder.
#include "setup/extraction/ExtractThread.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "ExtractTestSupport.h"
#include "TempDir.h"
#include "kestlib/ErrorText.h"
#include "kestlib/localization/MemStringResources.h"

namespace {

namespace fs = std::filesystem;
using extracttest::Bytes;
using extracttest::ReadBytes;
using extracttest::WriteBytes;

const fs::path kData = fs::absolute("extract-data");

class ExtractThreadTest : public ::testing::Test {
 protected:
  // Runs the worker to its end, answering its questions, and returns the
  // messages it posted to the dialog.
  std::vector<UINT> Run(const fs::path& archive, bool deleteOnFailure = true, bool stopFirst = false) {
    ExtractParams params;
    params.window = m_dialog.window();
    params.archivePath = archive.wstring();
    params.destination = m_destination.wstring() + L"\\";
    params.deleteOnFailure = deleteOnFailure;
    EXPECT_TRUE(m_worker.Start(params));
    if (stopFirst) m_worker.Stop(false);
    m_worker.Wait();
    std::vector<UINT> posted;
    MSG msg;
    while (PeekMessageW(&msg, m_dialog.window(), WM_SFX_START_EXTRACT, WM_SFX_GET_PASSWORD, PM_REMOVE))
      posted.push_back(msg.message);
    return posted;
  }

  testsupport::TempDir m_dir;
  fs::path m_destination = m_dir / L"hlvtest";
  extracttest::TestDialog m_dialog;
  CExtractThread m_worker;
};

TEST_F(ExtractThreadTest, SuccessfulRunReportsDoneAndKeepsTheFiles) {
  const auto posted = Run(kData / "lzma2.7z");
  EXPECT_EQ(posted, std::vector<UINT>{WM_SFX_EXTRACT_DONE});
  EXPECT_TRUE(fs::exists(m_destination / L"readme.txt"));
  EXPECT_FALSE(m_worker.ExtractedItems().empty());
  ASSERT_FALSE(m_dialog.progress.empty());
  EXPECT_EQ(m_dialog.progress.back(), 1000u);
  EXPECT_TRUE(m_dialog.errors.empty());
}

TEST_F(ExtractThreadTest, DamagedArchiveIsReportedAndTheTemporaryFolderRemoved) {
  Bytes damaged = ReadBytes(kData / "copy.7z");
  damaged[damaged.size() / 2] ^= 0xFF;
  const fs::path archive = m_dir / L"damaged.7z";
  WriteBytes(archive, damaged);

  const auto posted = Run(archive);
  EXPECT_EQ(posted, (std::vector<UINT>{WM_SFX_DELETING_FILES, WM_SFX_EXTRACT_FAILED}));
  ASSERT_EQ(m_dialog.errors.size(), 1u);
  EXPECT_EQ(m_dialog.errors[0].kind, ExtractBadArchive);
  EXPECT_FALSE(fs::exists(m_destination));
}

TEST_F(ExtractThreadTest, FailedExtractOnlyRunKeepsWhatArrived) {
  Bytes damaged = ReadBytes(kData / "copy.7z");
  damaged[damaged.size() / 2] ^= 0xFF;
  const fs::path archive = m_dir / L"damaged.7z";
  WriteBytes(archive, damaged);

  const auto posted = Run(archive, false);
  EXPECT_EQ(posted, std::vector<UINT>{WM_SFX_EXTRACT_FAILED});
  EXPECT_TRUE(fs::exists(m_destination));
}

TEST_F(ExtractThreadTest, StoppedRunReportsCancelledWithoutErrorAndRemovesTheFolder) {
  const auto posted = Run(kData / "lzma2.7z", true, true);
  EXPECT_EQ(posted, (std::vector<UINT>{WM_SFX_DELETING_FILES, WM_SFX_EXTRACT_CANCELLED}));
  EXPECT_TRUE(m_dialog.errors.empty());
  EXPECT_FALSE(fs::exists(m_destination));
}

TEST_F(ExtractThreadTest, SecondStartWaitsForTheFirstRunToEnd) {
  Run(kData / "lzma2.7z");
  // After the first run has ended, the same worker runs again.
  const auto posted = Run(kData / "copy.7z");
  EXPECT_EQ(posted, std::vector<UINT>{WM_SFX_EXTRACT_DONE});
}

TEST(DescribeFailure, SortsOutcomesByKind) {
  const ExtractErrorInfo bad = DescribeFailure({HRESULT_FROM_WIN32(ERROR_CRC), {}}, L"a.txt", 10);
  EXPECT_EQ(bad.kind, ExtractBadArchive);
  EXPECT_EQ(bad.item, L"");

  const ExtractErrorInfo full = DescribeFailure({HRESULT_FROM_WIN32(ERROR_DISK_FULL), {}}, L"big.bin", 12345);
  EXPECT_EQ(full.kind, ExtractSystemError);
  EXPECT_EQ(full.item, L"big.bin");
  EXPECT_EQ(full.requiredBytes, 12345u);

  const ExtractErrorInfo denied = DescribeFailure({E_ACCESSDENIED, {}}, L"locked.dll", 5);
  EXPECT_EQ(denied.kind, ExtractSystemError);
  EXPECT_EQ(denied.requiredBytes, 0u);

  const ExtractErrorInfo engine = DescribeFailure({E_FAIL, L"Cannot open the file as archive"}, L"x", 0);
  EXPECT_EQ(engine.kind, ExtractFailure);
  EXPECT_EQ(engine.code, 0);
  EXPECT_EQ(engine.message, L"Cannot open the file as archive");
}

// The engine's own words or number, whatever result the extraction ended with.
TEST(DescribeFailure, KeepsWhatTheEngineSaidOrThrew) {
  const struct {
    ExtractOutcome outcome;
    std::int32_t code;
    const wchar_t* message;
  } cases[] = {
      {{HRESULT_FROM_WIN32(ERROR_CRC), L"ERROR: CRC Failed : a.txt"}, 0, L"ERROR: CRC Failed : a.txt"},
      {{E_ACCESSDENIED, L"ERROR: Access is denied. : b.dll"}, 0, L"ERROR: Access is denied. : b.dll"},
      {{E_FAIL, {}, 282228}, 282228, L""},
      {{E_FAIL, {}, 2}, 2, L""},
      {{E_FAIL, L"Can't create hasher", 0}, 0, L"Can't create hasher"},
  };
  for (const auto& c : cases) {
    const ExtractErrorInfo info = DescribeFailure(c.outcome, L"x", 0);
    EXPECT_EQ(info.kind, ExtractFailure) << c.code << " " << c.message;
    EXPECT_EQ(info.code, c.code);
    EXPECT_EQ(info.message, c.message);
  }
}

class ExtractErrorReportTest : public ::testing::Test {
 protected:
  ExtractErrorReportTest() {
    m_strings.SetString(L"SfxErrorBadArchive", L"The setup file is corrupted.");
    m_strings.SetString(L"SfxErrorExtract", L"Could not extract.");
  }

  std::wstring Report(std::int32_t kind, std::int32_t code, const std::wstring& message = L"",
                      const std::wstring& item = L"") const {
    ExtractErrorInfo info;
    info.kind = kind;
    info.code = code;
    info.message = message;
    info.item = item;
    return ExtractErrorReport(info, m_strings);
  }

  kestlib::MemStringResources m_strings;
};

TEST_F(ExtractErrorReportTest, EachKindHasItsText) {
  EXPECT_EQ(Report(ExtractBadArchive, HRESULT_FROM_WIN32(ERROR_CRC), L"ignored", L"a.txt"),
            L"The setup file is corrupted.");
  EXPECT_EQ(Report(ExtractSystemError, E_ACCESSDENIED, L"", L"C:\\Temp\\locked.dll"),
            L"Could not extract.\n\n" + kestlib::SystemErrorText(E_ACCESSDENIED) + L"\n\nC:\\Temp\\locked.dll");
  EXPECT_EQ(Report(ExtractSystemError, E_ACCESSDENIED),
            L"Could not extract.\n\n" + kestlib::SystemErrorText(E_ACCESSDENIED));
  EXPECT_EQ(Report(ExtractFailure, 0, L"Cannot open the file as archive"),
            L"Could not extract.\n\nCannot open the file as archive");
  EXPECT_EQ(Report(ExtractFailure, 7, L"Unsupported method"), L"Could not extract.\n\nUnsupported method (0x00000007)");
  EXPECT_EQ(Report(7, -2147467259), L"Could not extract.\n\nError type: 7\nError code: 0x80004005");
}

TEST_F(ExtractErrorReportTest, FailureWithOnlyACodeAppendsItDirectly) {
  EXPECT_EQ(Report(ExtractFailure, 5), L"Could not extract. (0x00000005)");
  EXPECT_EQ(Report(ExtractFailure, 0), L"Could not extract.");
}

}  // namespace
