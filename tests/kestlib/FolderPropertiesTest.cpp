#include "kestlib/FolderProperties.h"

#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include "kestlib/SystemInfo.h"

namespace {

using kestlib::FolderPath;

std::wstring ShellFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  return SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? path : L"";
}

std::wstring Environment(const wchar_t* name) {
  wchar_t value[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
  return length > 0 && length < MAX_PATH ? value : L"";
}

TEST(FolderPath, ShellFoldersComeWithoutTrailingBackslash) {
  const std::wstring documents = FolderPath(L"PersonalFolder", false);
  ASSERT_FALSE(documents.empty());
  EXPECT_EQ(documents, ShellFolder(CSIDL_PERSONAL));
  EXPECT_NE(documents.back(), L'\\');
  EXPECT_EQ(FolderPath(L"WIX_DIR_PERSONAL", false), documents);
  EXPECT_EQ(FolderPath(L"DesktopFolder", false), ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY));
}

TEST(FolderPath, TempFolderEndsWithBackslash) {
  const std::wstring temp = FolderPath(L"TempFolder", false);
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), L'\\');
  EXPECT_NE(GetFileAttributesW(temp.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(FolderPath, SystemFolderIsTheSystemDirectory) {
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  EXPECT_EQ(FolderPath(L"SystemFolder", false), system);
}

TEST(FolderPath, UnknownOrMiscasedNamesAndFoldersWithoutSourceAreEmpty) {
  EXPECT_EQ(FolderPath(L"personalfolder", false), L"");
  EXPECT_EQ(FolderPath(L"NoSuchFolder", false), L"");
  EXPECT_EQ(FolderPath(L"System64Folder", false), L"");
  EXPECT_EQ(FolderPath(L"System16Folder", false), L"");
  EXPECT_EQ(FolderPath(L"WindowsVolume", false), L"");
}

TEST(FolderPath, SixtyFourBitFoldersFollowTheSystem) {
  if (kestlib::RunsOn64BitWindows()) {
    EXPECT_EQ(FolderPath(L"ProgramFiles64Folder", false), Environment(L"ProgramW6432"));
    EXPECT_FALSE(FolderPath(L"ProgramFiles64Folder", false).empty());
    EXPECT_EQ(FolderPath(L"ProgramFiles6432Folder", false), FolderPath(L"ProgramFiles64Folder", false));
    EXPECT_EQ(FolderPath(L"CommonFiles6432Folder", false), Environment(L"CommonProgramW6432"));
  } else {
    EXPECT_EQ(FolderPath(L"ProgramFiles64Folder", false), L"");
    EXPECT_EQ(FolderPath(L"CommonFiles64Folder", false), L"");
    EXPECT_EQ(FolderPath(L"ProgramFiles6432Folder", false), FolderPath(L"ProgramFilesFolder", false));
    EXPECT_EQ(FolderPath(L"CommonFiles6432Folder", false), FolderPath(L"CommonFilesFolder", false));
  }
  // The 32-bit folder on 64-bit Windows, also for the 64-bit build.
  EXPECT_EQ(FolderPath(L"ProgramFilesFolder", false),
            ShellFolder(kestlib::RunsOn64BitWindows() ? CSIDL_PROGRAM_FILESX86 : CSIDL_PROGRAM_FILES));
  EXPECT_EQ(FolderPath(L"CommonFilesFolder", false),
            ShellFolder(kestlib::RunsOn64BitWindows() ? CSIDL_PROGRAM_FILES_COMMONX86 : CSIDL_PROGRAM_FILES_COMMON));
}

TEST(FolderMap, HoldsEveryNameWithItsCurrentFolder) {
  const auto folders = kestlib::FolderMap();
  EXPECT_EQ(folders.size(), 49u);
  for (const auto& [name, path] : folders) EXPECT_EQ(path, FolderPath(name, false)) << name;
}

}  // namespace
