// The installer's check of its own file: a download that broke off is
// refused before anything is created.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <ios>
#include <iterator>
#include <string>
#include <vector>

#include "Installers.h"
#include "ProcessDriver.h"
#include "TempDir.h"
#include "core/pe/PeImage.h"

namespace {

namespace fs = std::filesystem;
using testsupport::kCorruptText;
using testsupport::kPreparationFailed;
using testsupport::kSampleConfig;
using testsupport::kTimeLimit;
using testsupport::Quoted;

std::wstring SizeText(std::uintmax_t expected, std::uintmax_t actual) {
  return std::wstring(kCorruptText) + L"\n\nExpected file size: " + std::to_wstring(expected) + L"\nActual file size: " +
         std::to_wstring(actual);
}

// Where the certificate table that the PE header names ends: the size a
// signed installer must have.
std::uintmax_t SignatureEnd(const fs::path& installer) {
  std::ifstream in(installer, std::ios::binary);
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  kestlib::PeImage image;
  EXPECT_EQ(kestlib::ParsePeImage(bytes.data(), bytes.size(), image), kestlib::PeError::None);
  const auto table = kestlib::CertificateTable(image);
  EXPECT_TRUE(table);
  return table ? std::uintmax_t{table->address} + table->size : 0;
}

class IntegrityTest : public ::testing::Test {
 protected:
  fs::path Pack(const std::wstring& name) {
    const fs::path installer = m_dir / name;
    testsupport::PackInstaller(SETUPSFX_STUB, kSampleConfig, installer);
    return installer;
  }

  // A packed installer that lost its last bytes on the way.
  fs::path CutOff(const std::wstring& name, std::uintmax_t lost) {
    const fs::path installer = Pack(name);
    fs::resize_file(installer, fs::file_size(installer) - lost);
    return installer;
  }

  // Runs the installer to the error box, checks its text and presses OK.
  void ExpectRefusal(const std::wstring& commandLine, const std::wstring& text) {
    testsupport::ProcessDriver run(commandLine);
    ASSERT_TRUE(run.started());
    HWND box = run.WaitForWindow(kTimeLimit);
    ASSERT_NE(box, nullptr) << "no message box appeared";
    EXPECT_EQ(testsupport::WindowText(box), L"Sample Product");
    const auto texts = testsupport::StaticTexts(box);
    EXPECT_NE(std::find(texts.begin(), texts.end(), text), texts.end())
        << (texts.empty() ? std::wstring() : texts.back()).c_str();
    ASSERT_TRUE(testsupport::PressButton(box, IDOK));
    ASSERT_TRUE(run.WaitForExit(kTimeLimit));
    EXPECT_EQ(run.ExitCode(), kPreparationFailed);
  }

  void ExpectSuccess(const std::wstring& commandLine) {
    testsupport::ProcessDriver run(commandLine);
    ASSERT_TRUE(run.started());
    ASSERT_TRUE(run.WaitForExit(kTimeLimit)) << "the run did not end; a window may be waiting";
    EXPECT_EQ(run.ExitCode(), 0u);
  }

  testsupport::TempDir m_dir;
};

TEST_F(IntegrityTest, CompleteInstallerRunsOn) {
  ExpectSuccess(Quoted(Pack(L"complete.exe").wstring()));
}

TEST_F(IntegrityTest, CutOffInstallerShowsBothSizesAndFails) {
  const fs::path installer = CutOff(L"cut.exe", 100);
  const std::uintmax_t actual = fs::file_size(installer);
  ExpectRefusal(Quoted(installer.wstring()), SizeText(actual + 100, actual));
}

TEST_F(IntegrityTest, InstallerWithBytesAppendedIsRefused) {
  const fs::path installer = Pack(L"longer.exe");
  const std::uintmax_t expected = fs::file_size(installer);
  fs::resize_file(installer, expected + 16);
  ExpectRefusal(Quoted(installer.wstring()), SizeText(expected, expected + 16));
}

TEST_F(IntegrityTest, SilentRunOfACutOffInstallerShowsNothingAndFails) {
  testsupport::ProcessDriver run(Quoted(CutOff(L"cut.exe", 100).wstring()) + L" /q");
  EXPECT_EQ(run.WaitForWindow(kTimeLimit), nullptr) << "a window appeared in a silent run";
  ASSERT_TRUE(run.WaitForExit(kTimeLimit));
  EXPECT_EQ(run.ExitCode(), kPreparationFailed);
}

TEST_F(IntegrityTest, ArchiveNamedOnTheCommandLineSkipsTheCheck) {
  const fs::path installer = CutOff(L"cut.exe", 100);
  ExpectSuccess(Quoted(installer.wstring()) + L" /e " + Quoted(SETUPSFX_SAMPLE_ARCHIVE));
}

// SETUPSFX_SIGNED_INSTALLER is signed by osslsigncode at build time.
TEST_F(IntegrityTest, CompleteSignedInstallerRunsOn) {
  testsupport::ProcessDriver run(Quoted(SETUPSFX_SIGNED_INSTALLER) + L" /q");
  ASSERT_TRUE(run.started());
  EXPECT_EQ(run.WaitForWindow(kTimeLimit), nullptr) << "a window appeared in a silent run";
  ASSERT_TRUE(run.WaitForExit(kTimeLimit));
  ASSERT_NE(run.ExitCode(), kPreparationFailed) << "the installer refused its own signed file";
  EXPECT_EQ(run.ExitCode(), 0u) << "exit code 0x" << std::hex << run.ExitCode();
}

TEST_F(IntegrityTest, SignedInstallerCutShortShowsTheEndOfItsSignature) {
  const fs::path installer = m_dir / L"signed.exe";
  fs::copy_file(SETUPSFX_SIGNED_INSTALLER, installer);
  const std::uintmax_t expected = SignatureEnd(installer);
  fs::resize_file(installer, fs::file_size(installer) - 3);
  ExpectRefusal(Quoted(installer.wstring()), SizeText(expected, fs::file_size(installer)));
}

}  // namespace
