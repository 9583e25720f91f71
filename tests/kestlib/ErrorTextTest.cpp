#include "kestlib/ErrorText.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <exception>
#include <fstream>
#include <stdexcept>
#include <string>
#include <system_error>

#include <boost/exception/errinfo_file_name.hpp>
#include <boost/exception/info.hpp>
#include <boost/filesystem/exception.hpp>
#include <boost/system/system_error.hpp>
#include <boost/throw_exception.hpp>

#include "TempDir.h"
#include "kestlib/Holders.h"
#include "kestlib/io/SystemFile.h"

using namespace kestlib;
using testsupport::TempDir;

namespace {

// The message table's own text for a code, without the line break it ends with.
std::wstring MessageTable(DWORD code) {
  wchar_t buffer[1024] = {};
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buffer,
                                1024, nullptr);
  while (length > 0 && (buffer[length - 1] == L'\r' || buffer[length - 1] == L'\n' || buffer[length - 1] == L' '))
    --length;
  return std::wstring(buffer, length);
}

// The library's own (ASCII) text for a code.
template <typename Code>
std::wstring LibraryText(const Code& code) {
  const std::string text = code.message();
  return std::wstring(text.begin(), text.end());
}

template <typename Action>
std::wstring Described(Action action, int level = 0) {
  try {
    action();
  } catch (...) {
    return ExceptionDescription(level);
  }
  ADD_FAILURE() << "nothing was thrown";
  return L"";
}

std::wstring Quoted(const std::filesystem::path& path) { return L"'" + path.wstring() + L"'"; }

const boost::system::error_category& BoostSystem() { return boost::system::system_category(); }

TEST(SystemErrorText, CodesUpToFFFFAreDecimalAndAboveAreHexadecimal) {
  // Neither code has a system message, so only the code remains.
  EXPECT_EQ(SystemErrorText(0xFFFF), L" (65535)");
  EXPECT_EQ(SystemErrorText(0x10000), L" (0x10000)");
}

TEST(SystemErrorText, SystemMessageComesFirstWithoutItsLineBreak) {
  EXPECT_EQ(SystemErrorText(ERROR_ACCESS_DENIED), MessageTable(ERROR_ACCESS_DENIED) + L" (5)");
  EXPECT_EQ(SystemErrorText(static_cast<std::int32_t>(0x8007000D)), MessageTable(0x8007000D) + L" (0x8007000D)");
  EXPECT_EQ(SystemErrorText(E_ABORT), MessageTable(static_cast<DWORD>(E_ABORT)) + L" (0x80004004)");
  EXPECT_NE(MessageTable(ERROR_ACCESS_DENIED), L"");
}

TEST(ErrorCodeText, SystemCodeReadsAsTheSystemMessageAndNamesItsCategory) {
  const std::wstring message = MessageTable(ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ErrorCodeText(std::error_code(2, std::system_category()), std::system_category(), true),
            message + L" (system:2)");
  EXPECT_EQ(ErrorCodeText(boost::system::error_code(2, BoostSystem()), BoostSystem(), true), message + L" (system:2)");
  EXPECT_EQ(ErrorCodeText(std::error_code(2, std::system_category()), std::system_category(), false), message);
}

TEST(ErrorCodeText, OtherCategoriesAndUnknownCodesUseTheCategorysText) {
  const std::error_code invalid = std::make_error_code(std::errc::invalid_argument);
  EXPECT_EQ(ErrorCodeText(invalid, std::system_category(), true),
            LibraryText(invalid) + L" (generic:" + std::to_wstring(EINVAL) + L")");

  const std::error_code unknown(0xFFFF, std::system_category());
  EXPECT_NE(LibraryText(unknown), L"");
  EXPECT_EQ(ErrorCodeText(unknown, std::system_category(), true), LibraryText(unknown) + L" (system:65535)");

  const boost::system::error_code boostUnknown(0xFFFF, BoostSystem());
  EXPECT_EQ(ErrorCodeText(boostUnknown, BoostSystem(), false), LibraryText(boostUnknown));
}

TEST(ExceptionDescription, ExceptionOutsideTheStandardFamilyIsUnknown) {
  EXPECT_EQ(Described([] { throw 42; }), L"Unknown exception.");
  EXPECT_EQ(Described([] { throw 42; }, 2), L"\t\tUnknown exception.");
}

TEST(ExceptionDescription, OutsideACatchBlockDescribesAnUnknownException) {
  EXPECT_EQ(ExceptionDescription(0), L"Unknown exception.");
}

TEST(ExceptionDescription, MessageBecomesASentenceWithACapitalLetter) {
  EXPECT_EQ(Described([] { throw std::runtime_error("disk full"); }), L"Disk full.");
  EXPECT_EQ(Described([] { throw std::runtime_error("Done."); }), L"Done.");
  EXPECT_EQ(Described([] { throw std::runtime_error("\xC3\xA9t\xC3\xA9 fini"); }), L"\u00E9t\u00E9 fini.");
  EXPECT_EQ(Described([] { throw std::runtime_error("x"); }, -1), L"X.");
}

TEST(ExceptionDescription, EmptyOrUnconvertibleMessageLeavesTheIndentationAndPeriod) {
  EXPECT_EQ(Described([] { throw std::runtime_error(""); }), L".");
  EXPECT_EQ(Described([] { throw std::runtime_error(""); }, 1), L"\t.");
  EXPECT_EQ(Described([] { throw std::runtime_error("caf\xE9"); }), L".");
}

TEST(ExceptionDescription, SystemErrorShowsItsDetailsAndPathOnce) {
  const std::wstring text = Described([] {
    BOOST_THROW_EXCEPTION(FileException("could not open file", std::error_code(2, std::system_category()))
                          << tag_errinfo_path(L"C:\\setup\\strings.xml"));
  });
  EXPECT_EQ(text, L"Could not open file.\n\nError details:\n" + MessageTable(2) +
                      L" (system:2)\n\nPath:\n'C:\\setup\\strings.xml'");
}

TEST(ExceptionDescription, EmptyMessageStillShowsTheDetails) {
  const std::wstring text = Described([] { throw std::system_error(std::error_code(5, std::system_category())); });
  EXPECT_EQ(text, L".\n\nError details:\n" + MessageTable(5) + L" (system:5)");
}

TEST(ExceptionDescription, BoostSystemErrorLosesTheCodeTextAfterItsMessage) {
  const std::wstring text =
      Described([] { throw boost::system::system_error(boost::system::error_code(5, BoostSystem()), "access check"); });
  EXPECT_EQ(text, L"Access check.\n\nError details:\n" + MessageTable(5) + L" (system:5)");
}

// The library ends the message of a code it does not know with its
// "unknown error" text; the details line says it, so the message does not.
TEST(ExceptionDescription, UnknownCodeLeavesTheUnknownErrorTextToTheDetails) {
  const std::error_code unknown(0xFFFF, std::system_category());
  const std::wstring text = Described([&] { throw std::system_error(unknown, "lookup failed"); });
  EXPECT_EQ(text, L"Lookup failed.\n\nError details:\n" + LibraryText(unknown) + L" (system:65535)");
}

TEST(ExceptionDescription, FilesystemErrorListsItsPathsNumbered) {
  const boost::system::error_code denied(5, BoostSystem());
  const std::wstring both =
      Described([&] { throw boost::filesystem::filesystem_error("copy failed", "C:\\a.txt", "C:\\b.txt", denied); });
  const std::wstring details = L"\n\nError details:\n" + MessageTable(5) + L" (system:5)";
  EXPECT_EQ(both.substr(0, 11), L"Copy failed");
  EXPECT_NE(both.find(details + L"\n\nPath 0:\n'C:\\a.txt'\n\nPath 1:\n'C:\\b.txt'"), std::wstring::npos) << both;

  const std::wstring one =
      Described([&] { throw boost::filesystem::filesystem_error("remove failed", "C:\\a.txt", denied); });
  EXPECT_NE(one.find(details + L"\n\nPath:\n'C:\\a.txt'"), std::wstring::npos) << one;
}

TEST(ExceptionDescription, ThreePathsAreNumberedFromZero) {
  const std::wstring text = Described([] {
    throw boost::enable_error_info(std::runtime_error("conversion failed"))
        << boost::errinfo_file_name(
               "C:\\Gr\xC3\xBC\xC3\x9F"
               "e.txt")
        << tag_errinfo_path(L"C:\\b.txt") << tag_errinfo_path2(L"C:\\c.txt");
  });
  EXPECT_EQ(
      text,
      L"Conversion failed.\n\nPath 0:\n'C:\\Gr\u00FC\u00DFe.txt'\n\nPath 1:\n'C:\\b.txt'\n\nPath 2:\n'C:\\c.txt'");
}

class ExceptionDescriptionOfFiles : public ::testing::Test {
 protected:
  TempDir m_dir;
};

TEST_F(ExceptionDescriptionOfFiles, SharingViolationReadsAsOneMessageWithDetailsAndPath) {
  const auto path = m_dir / L"locked.xml";
  std::ofstream(path) << "<xml/>";
  const UniqueFile writer(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(writer);

  const std::wstring text = Described([&] { FileDeviceIn<char> device(path.wstring()); });

  EXPECT_EQ(text, L"Could not open file.\n\nError details:\n" + MessageTable(ERROR_SHARING_VIOLATION) +
                      L" (system:32)\n\nPath:\n" + Quoted(path));
}

TEST_F(ExceptionDescriptionOfFiles, RefusalsShowTheGenericCode) {
  const auto path = m_dir / L"keep.txt";
  std::ofstream(path) << "keep";
  const std::wstring details = L"\n\nError details:\n" +
                               LibraryText(std::make_error_code(std::errc::invalid_argument)) + L" (generic:" +
                               std::to_wstring(EINVAL) + L")\n\nPath:\n" + Quoted(path);

  EXPECT_EQ(Described([&] { FileDeviceIn<char> device(path.wstring(), FileOpenMode::In | FileOpenMode::Trunc); }),
            L"Cannot truncate file that was opened in read-only mode." + details);

  FileDeviceIn<char> writeOnly(path.wstring(), FileOpenMode::Out);
  char byte = 0;
  EXPECT_EQ(Described([&] { writeOnly.read(&byte, 1); }),
            L"Cannot read from file that was opened in write-only mode." + details);
}

TEST_F(ExceptionDescriptionOfFiles, CauseIsIndentedAndDoesNotRepeatTheSamePath) {
  const auto path = m_dir / L"strings.xml";
  const std::wstring text = Described([&] {
    try {
      FileDeviceIn<char> device(path.wstring());
    } catch (const FileException&) {
      std::throw_with_nested(boost::enable_error_info(std::runtime_error("could not load the string table"))
                             << tag_errinfo_path(path.wstring()));
    }
  });
  EXPECT_EQ(text, L"Could not load the string table.\n\nPath:\n" + Quoted(path) +
                      L"\n\nCause:\n\tCould not open file.\n\n\tError details:\n\t" +
                      MessageTable(ERROR_FILE_NOT_FOUND) + L" (system:2)");
}

TEST_F(ExceptionDescriptionOfFiles, CauseWithAnotherPathListsAllOfItsPaths) {
  const std::wstring text = Described([] {
    try {
      try {
        throw std::runtime_error("no such table");
      } catch (...) {
        std::throw_with_nested(boost::enable_error_info(std::runtime_error("resource missing"))
                               << tag_errinfo_path(L"C:\\setup.exe") << tag_errinfo_path2(L"C:\\strings.xml"));
      }
    } catch (...) {
      std::throw_with_nested(boost::enable_error_info(std::runtime_error("start failed"))
                             << tag_errinfo_path(L"C:\\setup.exe"));
    }
  });
  EXPECT_EQ(text,
            L"Start failed.\n\nPath:\n'C:\\setup.exe'\n\n"
            L"Cause:\n\tResource missing.\n\n\tPath 0:\n\t'C:\\setup.exe'\n\n\tPath 1:\n\t'C:\\strings.xml'\n\n"
            L"\tCause:\n\t\tNo such table.");
}

TEST(ExceptionDescription, CauseOutsideTheStandardFamilyAddsNothing) {
  const std::wstring text = Described([] {
    try {
      throw 7;
    } catch (...) {
      std::throw_with_nested(std::runtime_error("outer"));
    }
  });
  EXPECT_EQ(text, L"Outer.");
}

TEST(ExceptionDescription, NestingOutsideAHandlerHasNoCause) {
  EXPECT_EQ(Described([] { std::throw_with_nested(std::runtime_error("outer")); }), L"Outer.");
}

}  // namespace
