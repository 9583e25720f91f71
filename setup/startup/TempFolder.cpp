#include "setup/startup/TempFolder.h"

#include <ntsecapi.h>


#include "kestlib/DeleteDirectoryTree.h"
#include "kestlib/ErrorText.h"
#include "kestlib/Holders.h"
#include "kestlib/Log.h"

namespace {
// A clash is all but impossible with 36^8 names; many mean someone plants them.
constexpr int kAttempts = 100;

// What another process holding an item for a moment looks like.
bool IsHeld(HRESULT hr) {
  return hr == HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION) || hr == E_ACCESSDENIED ||
         hr == HRESULT_FROM_WIN32(ERROR_DIR_NOT_EMPTY);
}

HRESULT RemoveTree(const std::wstring& folder) {
  return kestlib::DeleteDirectoryTree(folder, kestlib::DeleteTreeFlags::RemoveRoot |
                                                  kestlib::DeleteTreeFlags::Recurse |
                                                  kestlib::DeleteTreeFlags::ClearReadOnly);
}

// Marks what is left of the folder for removal at the next restart, items
// before the folders that hold them; a link is marked itself, what it
// points to is never entered. False when the system refuses (only
// administrators may ask).
bool RemoveAtRestart(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  kestlib::UniqueFind find(FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found,
                                            FindExSearchNameMatch, nullptr, 0));
  if (find) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring item = folder + L'\\' + name;
      const bool descend = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                           !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
      if (descend ? !RemoveAtRestart(item) : !MoveFileExW(item.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
        return false;
    } while (FindNextFileW(find.get(), &found));
  }
  return MoveFileExW(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}
}  // namespace

bool SystemRandom(FolderNameDraw& draw) {
  return RtlGenRandom(draw.data(), static_cast<ULONG>(sizeof(draw))) != FALSE;
}

HRESULT CreateTempFolder(const std::wstring& parent, const RandomSource& random, std::wstring& folder) {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    FolderNameDraw draw = {};
    if (!random(draw)) return HRESULT_FROM_WIN32(ERROR_GEN_FAILURE);
    const std::wstring path = CombinePath(parent, MakeTempFolderName(draw));
    // Fails on any existing entry of that name, so nothing is adopted.
    if (CreateDirectoryW(path.c_str(), nullptr)) {
      folder = path;
      return S_OK;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS) return HRESULT_FROM_WIN32(error);
  }
  return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
}

const std::vector<DWORD>& RemovalPauses() {
  static const std::vector<DWORD> pauses = {100, 200, 400, 800, 1600, 3200, 3700};
  return pauses;
}

HRESULT RemoveRunFolder(const std::wstring& path, const RemovalPause& pause) {
  std::wstring folder = path;
  while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
  HRESULT hr = RemoveTree(folder);
  for (auto next = RemovalPauses().begin(); IsHeld(hr) && next != RemovalPauses().end(); ++next) {
    pause(*next);
    hr = RemoveTree(folder);
  }
  if (SUCCEEDED(hr)) {
    kestlib::WriteLog(kestlib::Severity::Info, L"Removed the temporary folder '" + folder + L"'.");
    return hr;
  }
  kestlib::WriteLog(kestlib::Severity::Warning, L"Could not remove the temporary folder '" + folder + L"': " +
                                                    kestlib::SystemErrorText(hr));
  if (RemoveAtRestart(folder))
    kestlib::WriteLog(kestlib::Severity::Info,
                      L"The temporary folder '" + folder + L"' will be removed at the next restart.");
  return hr;
}
