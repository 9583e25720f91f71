// The temporary folder: a new one with an unforeseeable name, never one
// that someone prepared, and gone at the end even when something held it.
#include "setup/startup/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "TempDir.h"
#include "kestlib/Holders.h"

namespace {

namespace fs = std::filesystem;

// Hands out the given draws in turn, then fails.
RandomSource Scripted(std::vector<FolderNameDraw> draws) {
  return [draws, next = std::size_t(0)](FolderNameDraw& draw) mutable {
    if (next == draws.size()) return false;
    draw = draws[next++];
    return true;
  };
}

const FolderNameDraw kFirst = {0, 1, 25, 26, 35, 36, 71, 0xFFFFFFFF};
const FolderNameDraw kSecond = {1, 1, 1, 1, 1, 1, 1, 1};

TEST(TempFolder, NamesHlvAndEightCharactersOfTheDraw) {
  testsupport::TempDir parent;
  std::wstring folder;
  ASSERT_EQ(CreateTempFolder(parent.path().wstring(), Scripted({kFirst}), folder), S_OK);
  EXPECT_EQ(folder, (parent / L"hlvabz09a9d").wstring());
  EXPECT_TRUE(fs::is_directory(folder));
}

TEST(TempFolder, PreparedFolderOfTheDrawnNameIsNeverEntered) {
  testsupport::TempDir parent;
  const fs::path planted = parent / L"hlvabz09a9d";
  fs::create_directory(planted);
  std::ofstream(planted / L"version.dll") << "planted";
  std::wstring folder;
  ASSERT_EQ(CreateTempFolder(parent.path().wstring(), Scripted({kFirst, kSecond}), folder), S_OK);
  EXPECT_EQ(folder, (parent / L"hlvbbbbbbbb").wstring());
  EXPECT_TRUE(fs::is_empty(folder));
}

TEST(TempFolder, GivesUpWhenEveryNameIsTakenOrTheSourceFails) {
  testsupport::TempDir parent;
  fs::create_directory(parent / L"hlvbbbbbbbb");
  std::wstring folder;
  EXPECT_EQ(CreateTempFolder(parent.path().wstring(), Scripted(std::vector<FolderNameDraw>(1000, kSecond)), folder),
            HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS));
  EXPECT_TRUE(FAILED(CreateTempFolder(parent.path().wstring(), Scripted({}), folder)));
  EXPECT_TRUE(folder.empty());
  EXPECT_EQ(std::distance(fs::directory_iterator(parent.path()), fs::directory_iterator()), 1);
}

TEST(TempFolder, TwoRunsGetTwoFolders) {
  testsupport::TempDir parent;
  std::wstring first, second;
  ASSERT_EQ(CreateTempFolder(parent.path().wstring(), SystemRandom, first), S_OK);
  ASSERT_EQ(CreateTempFolder(parent.path().wstring(), SystemRandom, second), S_OK);
  EXPECT_NE(first, second);
}

// A virus scanner holding a file for a moment does not keep the folder.
TEST(TempFolder, FolderHeldForAMomentIsRemoved) {
  testsupport::TempDir dir;
  const fs::path folder = dir / L"hlvheld0001";
  fs::create_directories(folder / L"sub");
  std::ofstream(folder / L"sub" / L"held.dll") << "in use";
  kestlib::UniqueFile held(CreateFileW((folder / L"sub" / L"held.dll").c_str(), GENERIC_READ, 0, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(held);

  int pauses = 0;
  const RemovalPause letGo = [&](DWORD) {
    if (++pauses == 2) held.reset();
  };
  EXPECT_EQ(RemoveRunFolder(folder.wstring() + L"\\", letGo), S_OK);
  EXPECT_FALSE(fs::exists(folder));
  EXPECT_EQ(pauses, 2);
}

}  // namespace
