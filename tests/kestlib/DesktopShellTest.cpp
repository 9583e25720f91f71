#include "kestlib/DesktopShell.h"

#include <windows.h>
#include <exdisp.h>
#include <shlguid.h>

#include <string>
#include <system_error>

#include <boost/exception/get_error_info.hpp>
#include <gtest/gtest.h>

#include "TempDir.h"
#include "TimeLimit.h"
#include "kestlib/Holders.h"
#include "kestlib/io/SystemFile.h"

namespace {

using kestlib::DesktopExecuteOptions;
using kestlib::PathFromUrl;
using kestlib::ShellExecuteFromDesktop;

TEST(PathFromUrlTest, PathFromUrl_DecodesEscapesOfFileUrl) {
  EXPECT_EQ(L"C:\\Program Files\\My App\\readme.txt", PathFromUrl(L"file:///C:/Program%20Files/My%20App/readme.txt"));
  EXPECT_EQ(L"C:\\a#b\\100%.txt", PathFromUrl(L"file:///C:/a%23b/100%25.txt"));
  EXPECT_EQ(L"\\\\server\\share\\setup.log", PathFromUrl(L"file://server/share/setup.log"));
}

TEST(PathFromUrlTest, PathFromUrl_KeepsCharactersOutsideAscii) {
  EXPECT_EQ(L"C:\\\u00DCbersicht\\\u65E5\u672C.txt", PathFromUrl(L"file:///C:/\u00DCbersicht/\u65E5\u672C.txt"));
}

TEST(PathFromUrlTest, PathFromUrl_RaisesForOtherUrlsWithPathAndText) {
  try {
    PathFromUrl(L"https://example.com/setup.exe");
    FAIL() << "no error";
  } catch (const std::system_error& error) {
    EXPECT_EQ(std::system_category(), error.code().category());
    EXPECT_TRUE(FAILED(error.code().value()));
    EXPECT_NE(std::string::npos, std::string(error.what()).find("Could not create path from URL"));
    const std::wstring* path = boost::get_error_info<kestlib::tag_errinfo_path>(error);
    ASSERT_NE(nullptr, path);
    EXPECT_EQ(L"https://example.com/setup.exe", *path);
  }
}

TEST(ShellExecuteFromDesktopTest, ShellExecuteFromDesktop_RefusesEmptyFileAsInvalidArgument) {
  try {
    ShellExecuteFromDesktop(L"", std::nullopt, std::nullopt, std::nullopt, SW_SHOWNORMAL, DesktopExecuteOptions::None);
    FAIL() << "no error";
  } catch (const std::system_error& error) {
    EXPECT_EQ(std::make_error_code(std::errc::invalid_argument), error.code());
    EXPECT_NE(std::string::npos, std::string(error.what()).find("The pszFile parameter must not be nullptr"));
  }
}

// A fresh Wine server starts its desktop with the first program, and the
// desktop serves its shell windows a moment later: at most 30 s for that.
bool DesktopShellReady() {
  for (int i = 0; i < 300; ++i) {
    kestlib::ComPtr<IShellWindows> windows;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                   windows.put_void())))
      return true;
    Sleep(100);
  }
  return false;
}

// Wine's desktop provides the automation objects; the program runs in the
// desktop's process tree, so the test can only watch for what it leaves.
TEST(ShellExecuteFromDesktopTest, ShellExecuteFromDesktop_RunsProgramWithArgumentsInFolder) {
  const kestlib::ComInitialization com(COINIT_APARTMENTTHREADED);
  ASSERT_TRUE(DesktopShellReady());
  const testsupport::TempDir temp;
  const std::wstring marker = (temp / L"marker.txt").wstring();
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);

  ShellExecuteFromDesktop(std::wstring(system) + L"\\cmd.exe", std::wstring(L"/c cd > marker.txt"),
                          temp.path().wstring(), std::wstring(L"open"), SW_HIDE, DesktopExecuteOptions::NoForeground);

  // At most 30 s for the desktop to start the program.
  const ULONGLONG deadline = GetTickCount64() + testsupport::TimeLimit(30000);
  while (GetFileAttributesW(marker.c_str()) == INVALID_FILE_ATTRIBUTES && GetTickCount64() < deadline) Sleep(100);
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(marker.c_str()));
}

}  // namespace
