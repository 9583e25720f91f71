#include "kestlib/DeleteDirectoryTree.h"

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "TempDir.h"
#include "kestlib/Holders.h"

namespace {

using kestlib::DeleteDirectoryTree;
using kestlib::DeleteTreeFlags;
using testsupport::TempDir;

// What both clean-ups of an extraction folder use.
constexpr DeleteTreeFlags kCleanUp = DeleteTreeFlags::RemoveRoot | DeleteTreeFlags::Recurse |
                                     DeleteTreeFlags::ClearReadOnly;

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void MakeFolder(const std::wstring& path) { ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << GetLastError(); }

void MakeFile(const std::wstring& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
  const kestlib::UniqueFile file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr));
  ASSERT_TRUE(file) << GetLastError();
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file.get(), "data", 4, &written, nullptr));
}

class DeleteDirectoryTreeTest : public testing::Test {
 protected:
  // The folder being cleaned up; a trailing backslash as the extraction
  // folder has it.
  std::wstring Root() const { return (m_temp / L"extract").wstring() + L"\\"; }
  std::wstring At(const std::wstring& relative) const { return (m_temp / L"extract").wstring() + L"\\" + relative; }
  void SetUp() override { MakeFolder(Root()); }

  TempDir m_temp;
};

TEST_F(DeleteDirectoryTreeTest, DeleteDirectoryTree_RemovesNestedReadOnlyFileAndAllFolders) {
  MakeFolder(At(L"a"));
  MakeFolder(At(L"a\\b"));
  MakeFile(At(L"top.txt"));
  MakeFile(At(L"a\\b\\locked.txt"), FILE_ATTRIBUTE_READONLY);

  EXPECT_EQ(S_OK, DeleteDirectoryTree(Root(), kCleanUp));
  EXPECT_FALSE(Exists(Root()));
}

TEST_F(DeleteDirectoryTreeTest, DeleteDirectoryTree_KeepsTheFolderItselfWithoutRemoveRoot) {
  MakeFolder(At(L"a"));
  MakeFile(At(L"a\\file.txt"));

  EXPECT_EQ(S_OK, DeleteDirectoryTree(Root(), DeleteTreeFlags::Recurse));
  EXPECT_TRUE(Exists(Root()));
  EXPECT_FALSE(Exists(At(L"a")));
}

TEST_F(DeleteDirectoryTreeTest, DeleteDirectoryTree_LeavesReadOnlyFileWithoutClearReadOnlyAndSaysAccessDenied) {
  MakeFile(At(L"locked.txt"), FILE_ATTRIBUTE_READONLY);
  MakeFile(At(L"other.txt"));

  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED),
            DeleteDirectoryTree(Root(), DeleteTreeFlags::RemoveRoot | DeleteTreeFlags::Recurse));
  EXPECT_TRUE(Exists(At(L"locked.txt")));
  EXPECT_EQ(DWORD{FILE_ATTRIBUTE_READONLY}, GetFileAttributesW(At(L"locked.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(Exists(At(L"other.txt")));
}

TEST_F(DeleteDirectoryTreeTest, DeleteDirectoryTree_FileHeldOpenStaysWithItsFoldersAndTheRestGoes) {
  MakeFolder(At(L"busy"));
  MakeFolder(At(L"done"));
  MakeFile(At(L"busy\\held.dll"));
  MakeFile(At(L"busy\\free.txt"));
  MakeFile(At(L"done\\file.txt"));
  const kestlib::UniqueFile held(
      CreateFileW(At(L"busy\\held.dll").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);

  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION), DeleteDirectoryTree(Root(), kCleanUp));
  EXPECT_TRUE(Exists(At(L"busy\\held.dll")));
  EXPECT_FALSE(Exists(At(L"busy\\free.txt")));
  EXPECT_FALSE(Exists(At(L"done")));
}

TEST_F(DeleteDirectoryTreeTest, DeleteDirectoryTree_StopAtFirstFailureLeavesTheRest) {
  MakeFile(At(L"locked.txt"), FILE_ATTRIBUTE_READONLY);
  MakeFolder(At(L"sub"));
  MakeFile(At(L"sub\\file.txt"));

  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED),
            DeleteDirectoryTree(Root(), DeleteTreeFlags::RemoveRoot | DeleteTreeFlags::Recurse |
                                            DeleteTreeFlags::StopAtFirstFailure));
  // Files are handled before subfolders are entered.
  EXPECT_TRUE(Exists(At(L"sub\\file.txt")));
}

TEST_F(DeleteDirectoryTreeTest, DeleteDirectoryTree_RemovesTreeDeeperThanMaxPath) {
  std::wstring relative;
  for (int level = 0; level < 20; ++level) {
    relative += (relative.empty() ? L"" : L"\\") + std::wstring(20, static_cast<wchar_t>(L'a' + level));
    // The extended-length form lets the test build past MAX_PATH.
    MakeFolder(L"\\\\?\\" + At(relative));
  }
  ASSERT_GT(At(relative).size(), size_t{MAX_PATH});
  MakeFile(L"\\\\?\\" + At(relative + L"\\deep.txt"), FILE_ATTRIBUTE_READONLY);

  EXPECT_EQ(S_OK, DeleteDirectoryTree(Root(), kCleanUp));
  EXPECT_FALSE(Exists(Root()));
}

TEST_F(DeleteDirectoryTreeTest, DeleteDirectoryTree_RemovesNamesOutsideAscii) {
  const std::wstring name = L"\u0423\u0441\u0442\u0430\u043D\u043E\u0432\u043A\u0430_\u65E5\u672C_\u00E9";
  MakeFolder(At(name));
  MakeFile(At(name + L"\\" + name + L".msi"));

  EXPECT_EQ(S_OK, DeleteDirectoryTree(Root(), kCleanUp));
  EXPECT_FALSE(Exists(Root()));
}

TEST_F(DeleteDirectoryTreeTest, DeleteDirectoryTree_RefusesRelativePathWithError87) {
  MakeFolder(At(L"sub"));
  MakeFile(At(L"sub\\file.txt"));
  wchar_t previous[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(Root().c_str()));

  const wchar_t drive[] = {Root()[0], L':', L's', L'u', L'b', 0};
  for (const std::wstring& relative : {std::wstring(L"sub"), std::wstring(L".\\sub"), std::wstring(drive)}) {
    SetLastError(0);
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER), DeleteDirectoryTree(relative, kCleanUp)) << relative;
  }
  SetCurrentDirectoryW(previous);
  EXPECT_TRUE(Exists(At(L"sub\\file.txt")));
}

TEST_F(DeleteDirectoryTreeTest, DeleteDirectoryTree_RefusesVolumeRoot) {
  // A share root that does not exist: refused before any network access.
  EXPECT_EQ(E_INVALIDARG, DeleteDirectoryTree(L"\\\\no-such-server\\share\\", kCleanUp));
  EXPECT_EQ(E_INVALIDARG, DeleteDirectoryTree(L"\\\\?\\UNC\\no-such-server\\share", kCleanUp));
  // Nor is one ever marked for removal at the next restart.
  EXPECT_EQ(E_INVALIDARG, kestlib::RemoveTreeAtRestart(L"\\\\no-such-server\\share\\"));
}

TEST_F(DeleteDirectoryTreeTest, DeleteDirectoryTree_MissingFolderCountsAsRemoved) {
  EXPECT_EQ(S_OK, DeleteDirectoryTree(At(L"never-made"), kCleanUp));
}

// A link inside the tree to a folder outside it: the link goes, what it
// points to stays.
TEST_F(DeleteDirectoryTreeTest, DeleteDirectoryTree_NeverDeletesThroughLinkToOutside) {
  const std::wstring outside = (m_temp / L"outside").wstring();
  MakeFolder(outside);
  MakeFile(outside + L"\\precious.txt");
  MakeFolder(At(L"sub"));
  if (!CreateSymbolicLinkW(At(L"sub\\link").c_str(), outside.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY))
    GTEST_SKIP() << "this system cannot create a folder link, error " << GetLastError();
  ASSERT_TRUE(GetFileAttributesW(At(L"sub\\link").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);

  EXPECT_EQ(S_OK, DeleteDirectoryTree(Root(), kCleanUp));
  EXPECT_FALSE(Exists(Root()));
  EXPECT_TRUE(Exists(outside + L"\\precious.txt"));
}

}  // namespace
