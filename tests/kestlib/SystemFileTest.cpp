#include "kestlib/io/SystemFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include <boost/exception/diagnostic_information.hpp>
#include <boost/exception/errinfo_api_function.hpp>
#include <boost/exception/get_error_info.hpp>
#include <boost/iostreams/stream.hpp>

#include "TempDir.h"
#include "kestlib/Holders.h"

using namespace kestlib;
using testsupport::TempDir;

namespace {

using Device = FileDeviceIn<char>;
using Stream = boost::iostreams::stream<Device>;

constexpr auto kInOut = FileOpenMode::In | FileOpenMode::Out;

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ReadSome(Device& device, std::int64_t count) {
  std::string bytes(static_cast<std::size_t>(count), '\0');
  const std::streamsize got = device.read(bytes.data(), count);
  bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return bytes;
}

template <typename Info>
std::optional<typename Info::value_type> Entry(const boost::exception& error) {
  const auto* value = boost::get_error_info<Info>(error);
  return value ? std::optional<typename Info::value_type>(*value) : std::nullopt;
}

std::string ApiFunction(const boost::exception& error) {
  const auto* name = boost::get_error_info<boost::errinfo_api_function>(error);
  return name ? *name : "";
}

bool StartsWith(const std::string& text, const std::string& start) { return text.rfind(start, 0) == 0; }

template <typename Action>
FileException Raised(Action action) {
  try {
    action();
  } catch (const FileException& error) {
    return error;
  }
  ADD_FAILURE() << "no FileException";
  return FileException("", {});
}

const std::error_code kInvalidArgument = std::make_error_code(std::errc::invalid_argument);

std::error_code SystemCode(DWORD code) { return {static_cast<int>(code), std::system_category()}; }

// Another opener, like a second program that writes the file and shares nothing.
UniqueFile HoldForWriting(const std::filesystem::path& path) {
  return UniqueFile(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Whether some handle still holds the file: an exclusive open is refused then.
bool IsHeldOpen(const std::filesystem::path& path) {
  UniqueFile probe(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return !probe && GetLastError() == ERROR_SHARING_VIOLATION;
}

class FileDeviceTest : public ::testing::Test {
 protected:
  std::filesystem::path File(const std::wstring& name, const std::string& bytes) {
    const auto path = m_dir / name;
    WriteBytes(path, bytes);
    return path;
  }

  TempDir m_dir;
};

using FileDeviceOpen = FileDeviceTest;
using FileDeviceRead = FileDeviceTest;
using FileDeviceSeek = FileDeviceTest;
using FileDeviceFlush = FileDeviceTest;
using FileDeviceCopy = FileDeviceTest;
using FileExceptionInfo = FileDeviceTest;

TEST_F(FileDeviceOpen, MissingFileRaisesCouldNotOpenWithTheRequestAndTheSystemCode) {
  const auto path = m_dir / L"missing.xml";
  const FileException error = Raised([&] { Device device(path.wstring()); });

  EXPECT_TRUE(StartsWith(error.what(), "Could not open file")) << error.what();
  EXPECT_EQ(error.code(), SystemCode(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(Entry<tag_errinfo_code>(error), SystemCode(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(Entry<tag_errinfo_path>(error), path.wstring());
  EXPECT_EQ(Entry<tag_errinfo_openmode>(error), FileOpenMode::In);
  EXPECT_EQ(Entry<tag_errinfo_sharemode>(error), FileShareMode::Read);
  EXPECT_EQ(Entry<tag_errinfo_file_op>(error), FileOp::Open);
  EXPECT_EQ(ApiFunction(error), "CreateFile");
  EXPECT_FALSE(Entry<tag_errinfo_handle>(error)) << "nothing was opened";
  EXPECT_FALSE(std::filesystem::exists(path)) << "reading must not create the file";
}

TEST_F(FileDeviceOpen, FailureNamesWhereItWasRaised) {
  const FileException error = Raised([&] { Device device((m_dir / L"missing.xml").wstring()); });

  const auto* function = boost::get_error_info<boost::throw_function>(error);
  const auto* file = boost::get_error_info<boost::throw_file>(error);
  const auto* line = boost::get_error_info<boost::throw_line>(error);
  ASSERT_TRUE(function && file && line);
  EXPECT_NE(std::string(*function).find("FileDeviceBase<Ch>::open("), std::string::npos) << *function;
  EXPECT_NE(std::string(*file).find("SystemFile.cpp"), std::string::npos) << *file;
  EXPECT_GT(*line, 0);
}

TEST_F(FileDeviceOpen, SharingViolationNamesThePath) {
  const auto path = File(L"locked.xml", "<xml/>");
  const UniqueFile writer = HoldForWriting(path);
  ASSERT_TRUE(writer);

  const FileException error = Raised([&] { Device device(path.wstring(), FileOpenMode::In, FileShareMode::Read); });

  EXPECT_TRUE(StartsWith(error.what(), "Could not open file")) << error.what();
  EXPECT_EQ(error.code(), SystemCode(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(Entry<tag_errinfo_path>(error), path.wstring());
  EXPECT_EQ(Entry<tag_errinfo_file_op>(error), FileOp::Open);
}

TEST_F(FileDeviceOpen, ShareModeDecidesWhetherOthersMayWrite) {
  const auto path = File(L"shared.xml", "<xml/>");
  const auto openForWriting = [&] {
    return UniqueFile(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  };
  {
    Device readersOnly(path.wstring(), FileOpenMode::In, FileShareMode::Read);
    EXPECT_FALSE(openForWriting());
  }
  Device writersToo(path.wstring(), FileOpenMode::In, FileShareMode::Read | FileShareMode::Write);
  EXPECT_TRUE(openForWriting());
}

TEST_F(FileDeviceOpen, ReadOnlyTruncateIsRefusedAndKeepsTheContent) {
  const auto path = File(L"keep.txt", "keep me");
  const auto mode = FileOpenMode::In | FileOpenMode::Trunc;

  const FileException error = Raised([&] { Device device(path.wstring(), mode); });

  EXPECT_TRUE(StartsWith(error.what(), "Cannot truncate file that was opened in read-only mode")) << error.what();
  EXPECT_EQ(error.code(), kInvalidArgument);
  EXPECT_EQ(Entry<tag_errinfo_path>(error), path.wstring());
  EXPECT_EQ(Entry<tag_errinfo_openmode>(error), mode);
  EXPECT_EQ(Entry<tag_errinfo_file_op>(error), FileOp::Open);
  EXPECT_EQ(ApiFunction(error), "") << "the system was not asked";
  EXPECT_EQ(ReadBytes(path), "keep me");
}

TEST_F(FileDeviceOpen, ReadOnlyAppendOrAtEndIsRefused) {
  const auto path = File(L"keep.txt", "keep me");
  for (const FileOpenMode extra : {FileOpenMode::App, FileOpenMode::Ate}) {
    const FileException error = Raised([&] { Device device(path.wstring(), FileOpenMode::In | extra); });

    EXPECT_TRUE(StartsWith(error.what(), "Cannot append to file that was opened in read-only mode")) << error.what();
    EXPECT_EQ(error.code(), kInvalidArgument);
    EXPECT_EQ(Entry<tag_errinfo_openmode>(error), FileOpenMode::In | extra);
  }
  EXPECT_EQ(ReadBytes(path), "keep me");
}

TEST_F(FileDeviceOpen, OutKeepsTheContentAndTruncEmptiesIt) {
  const auto path = File(L"data.bin", "abc");
  {
    Device device(path.wstring(), kInOut);
    EXPECT_EQ(ReadSome(device, 16), "abc");
  }
  EXPECT_EQ(ReadBytes(path), "abc");

  Device device(path.wstring(), kInOut | FileOpenMode::Trunc);
  EXPECT_EQ(device.seek(0, std::ios_base::end), 0);
  device.close();
  EXPECT_EQ(ReadBytes(path), "");
}

TEST_F(FileDeviceOpen, OutCreatesAMissingFile) {
  const auto path = m_dir / L"new.bin";
  Device(path.wstring(), FileOpenMode::Out).close();
  EXPECT_TRUE(std::filesystem::exists(path));
}

TEST_F(FileDeviceOpen, AteStartsAtTheEnd) {
  const auto path = File(L"data.bin", "12345");
  Device device(path.wstring(), kInOut | FileOpenMode::Ate);
  EXPECT_EQ(device.seek(0, std::ios_base::cur), 5);
  EXPECT_EQ(ReadSome(device, 4), "");
}

TEST_F(FileDeviceOpen, OpeningAgainClosesTheFirstFile) {
  const auto first = File(L"first.bin", "1");
  const auto second = File(L"second.bin", "2");
  Device device(first.wstring());

  device.open(second.wstring(), FileOpenMode::In, FileShareMode::Read);

  EXPECT_FALSE(IsHeldOpen(first));
  EXPECT_EQ(ReadSome(device, 4), "2");
}

TEST_F(FileDeviceOpen, FailedOpenLeavesTheDeviceClosed) {
  const auto first = File(L"first.bin", "1");
  Device device(first.wstring());

  Raised([&] { device.open((m_dir / L"missing.bin").wstring(), FileOpenMode::In, FileShareMode::Read); });

  EXPECT_FALSE(IsHeldOpen(first));
  char byte = 0;
  EXPECT_EQ(Entry<tag_errinfo_handle>(Raised([&] { device.read(&byte, 1); })), -1);
}

TEST_F(FileDeviceRead, StreamReadsTheWholeFileAndStopsQuietlyAtTheEnd) {
  std::string content;
  for (int i = 0; i < 10000; ++i) content += static_cast<char>('a' + i % 26);
  const auto path = File(L"big.txt", content);

  Stream in(Device(path.wstring()));
  in.exceptions(std::ios_base::badbit);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), content);

  char buffer[8];
  in.read(buffer, sizeof buffer);
  EXPECT_EQ(in.gcount(), 0);
  EXPECT_TRUE(in.eof());
  EXPECT_FALSE(in.bad());
}

TEST_F(FileDeviceRead, PastTheEndSignalsTheEndOfTheSequence) {
  Device device(File(L"short.txt", "xy").wstring());
  char buffer[8];
  EXPECT_EQ(device.read(buffer, sizeof buffer), 2);
  EXPECT_EQ(device.read(buffer, sizeof buffer), -1);
  EXPECT_EQ(device.read(buffer, 0), 0);
}

TEST_F(FileDeviceRead, WriteOnlyFileIsRefused) {
  const auto path = File(L"out.bin", "abc");
  Device device(path.wstring(), FileOpenMode::Out);
  char byte = 0;

  const FileException error = Raised([&] { device.read(&byte, 1); });

  EXPECT_TRUE(StartsWith(error.what(), "cannot read from file that was opened in write-only mode")) << error.what();
  EXPECT_EQ(error.code(), kInvalidArgument);
  EXPECT_EQ(Entry<tag_errinfo_path>(error), path.wstring());
  EXPECT_EQ(Entry<tag_errinfo_openmode>(error), FileOpenMode::Out);
  EXPECT_EQ(Entry<tag_errinfo_file_op>(error), FileOp::Read);
  EXPECT_NE(Entry<tag_errinfo_handle>(error).value_or(-1), -1);
}

TEST_F(FileDeviceRead, ClosedDeviceReportsNoHandleAndEmptyModes) {
  Device device;
  char byte = 0;

  const FileException error = Raised([&] { device.read(&byte, 1); });

  EXPECT_TRUE(StartsWith(error.what(), "cannot read from file that was opened in write-only mode")) << error.what();
  EXPECT_EQ(Entry<tag_errinfo_handle>(error), -1);
  EXPECT_EQ(Entry<tag_errinfo_path>(error), L"");
  EXPECT_EQ(to_string(Entry<tag_errinfo_openmode>(error).value()), "");
  EXPECT_EQ(to_string(Entry<tag_errinfo_sharemode>(error).value()), "");
}

TEST_F(FileDeviceRead, FourGiBAtOnceIsRefusedBeforeReading) {
  Device device(File(L"data.bin", "abc").wstring());
  char buffer[4];

  const FileException error = Raised([&] { device.read(buffer, std::int64_t{1} << 32); });

  EXPECT_TRUE(StartsWith(error.what(), "cannot read more than 4 GiB at once")) << error.what();
  EXPECT_EQ(error.code(), kInvalidArgument);
  EXPECT_TRUE(Entry<tag_errinfo_handle>(error));
  EXPECT_EQ(ReadSome(device, 3), "abc");
}

TEST_F(FileDeviceRead, SystemFailureRaisesCouldNotReadThroughTheStream) {
  const std::wstring name = L"\\\\.\\pipe\\setupsfx-read-" + std::to_wstring(GetCurrentProcessId());
  UniqueFile server(
      CreateNamedPipeW(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 0, 0, nullptr));
  ASSERT_TRUE(server);
  Stream in(Device(name, FileOpenMode::In, FileShareMode::Read));
  in.exceptions(std::ios_base::badbit);
  server.reset();  // the writer goes away

  const FileException error = Raised([&] { in.get(); });

  EXPECT_TRUE(StartsWith(error.what(), "Could not read file")) << error.what();
  EXPECT_EQ(error.code(), SystemCode(ERROR_BROKEN_PIPE));
  EXPECT_EQ(Entry<tag_errinfo_path>(error), name);
  EXPECT_EQ(Entry<tag_errinfo_file_op>(error), FileOp::Read);
  EXPECT_EQ(ApiFunction(error), "ReadFile");
  EXPECT_TRUE(Entry<tag_errinfo_handle>(error));
}

TEST_F(FileDeviceSeek, MovesFromEachOriginAndReportsThePosition) {
  Device device(File(L"digits.txt", "0123456789").wstring());
  EXPECT_EQ(device.seek(4, std::ios_base::beg), 4);
  EXPECT_EQ(ReadSome(device, 2), "45");
  EXPECT_EQ(device.seek(-3, std::ios_base::end), 7);
  EXPECT_EQ(device.seek(1, std::ios_base::cur), 8);
  EXPECT_EQ(ReadSome(device, 4), "89");

  Stream in(device);
  in.seekg(5);
  EXPECT_EQ(in.get(), '5');
  in.seekg(0, std::ios_base::end);
  EXPECT_EQ(in.tellg(), 10);
}

TEST_F(FileDeviceSeek, BeforeTheStartRaisesCouldNotSeek) {
  const auto path = File(L"digits.txt", "0123456789");
  Device device(path.wstring());

  const FileException error = Raised([&] { device.seek(-1, std::ios_base::beg); });

  EXPECT_TRUE(StartsWith(error.what(), "Could not seek in file")) << error.what();
  EXPECT_EQ(error.code(), SystemCode(ERROR_NEGATIVE_SEEK));
  EXPECT_EQ(Entry<tag_errinfo_path>(error), path.wstring());
  EXPECT_EQ(Entry<tag_errinfo_file_op>(error), FileOp::Seek);
  EXPECT_EQ(ApiFunction(error), "SetFilePointerEx");
  EXPECT_TRUE(Entry<tag_errinfo_handle>(error));
}

TEST_F(FileDeviceFlush, WritableFileFlushes) {
  Device device(File(L"data.bin", "abc").wstring(), kInOut);
  EXPECT_TRUE(device.flush());
}

TEST_F(FileDeviceFlush, ReadOnlyFileRaisesCouldNotFlush) {
  const auto path = File(L"data.bin", "abc");
  Device device(path.wstring());

  const FileException error = Raised([&] { device.flush(); });

  EXPECT_TRUE(StartsWith(error.what(), "Could not flush file")) << error.what();
  EXPECT_EQ(error.code(), SystemCode(ERROR_ACCESS_DENIED));
  EXPECT_EQ(Entry<tag_errinfo_file_op>(error), FileOp::Flush);
  EXPECT_EQ(ApiFunction(error), "FlushFileBuffers");
}

TEST_F(FileDeviceFlush, ClosedDeviceRaisesWithoutHandle) {
  Device device;
  const FileException error = Raised([&] { device.flush(); });
  EXPECT_EQ(error.code(), SystemCode(ERROR_INVALID_HANDLE));
  EXPECT_EQ(Entry<tag_errinfo_handle>(error), -1);
}

TEST_F(FileDeviceCopy, KeepsTheFileOpenUntilTheLastCopyCloses) {
  const auto path = File(L"shared.txt", "abc");
  Device device(path.wstring());
  Device copy = device;

  device.close();
  EXPECT_TRUE(IsHeldOpen(path));
  EXPECT_EQ(ReadSome(copy, 4), "abc");

  copy.close();
  EXPECT_FALSE(IsHeldOpen(path));
}

TEST_F(FileDeviceCopy, StreamHoldsItsOwnCopy) {
  const auto path = File(L"shared.txt", "abc");
  {
    Device device(path.wstring());
    Stream in(device);
    device.close();
    EXPECT_EQ(in.get(), 'a');
  }
  EXPECT_FALSE(IsHeldOpen(path));
}

TEST_F(FileExceptionInfo, DiagnosticInformationShowsTheEntriesAsText) {
  const auto path = m_dir / L"missing" / L"Gr\u00FC\u00DFe.xml";
  const FileException error = Raised([&] { Device device(path.wstring(), FileOpenMode::In | FileOpenMode::Out); });

  const std::string text = boost::diagnostic_information(error);

  EXPECT_NE(text.find("] = " + path.u8string() + "\n"), std::string::npos) << text;
  EXPECT_NE(text.find("] = In|Out\n"), std::string::npos) << text;
  EXPECT_NE(text.find("] = Read\n"), std::string::npos) << text;
  EXPECT_NE(text.find("] = Open\n"), std::string::npos) << text;
  EXPECT_NE(text.find("CreateFile"), std::string::npos) << text;
}

TEST(FileModeText, JoinsTheNamesInTheirFixedOrder) {
  EXPECT_EQ(
      to_string(FileOpenMode::Trunc | FileOpenMode::Ate | FileOpenMode::App | FileOpenMode::Out | FileOpenMode::In),
      "In|Out|App|Ate|Trunc");
  EXPECT_EQ(to_string(FileShareMode::Delete | FileShareMode::Read), "Read|Delete");
  EXPECT_EQ(to_string(FileOp::Flush), "Flush");
}

}  // namespace
