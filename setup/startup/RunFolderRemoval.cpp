#include "setup/startup/RunFolderRemoval.h"

#include "core/PathRules.h"
#include "kestlib/DeleteDirectoryTree.h"
#include "kestlib/ErrorText.h"
#include "kestlib/Log.h"

namespace {

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

// A folder this run made for itself: a run's name, and a folder rather than
// a link someone put in its place. A removal at restart runs with the
// system's rights, so nothing else may be marked.
bool IsOwnRunFolder(const std::wstring& folder) {
  const std::size_t slash = folder.find_last_of(L'\\');
  if (!IsTempFolderName(slash == std::wstring::npos ? folder : folder.substr(slash + 1))) return false;
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

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
  if (!IsOwnRunFolder(folder)) {
    kestlib::WriteLog(kestlib::Severity::Warning,
                      L"The folder '" + folder + L"' is not one the installer made: it is not marked for removal.");
    return hr;
  }
  const HRESULT marked = kestlib::RemoveTreeAtRestart(folder);
  if (SUCCEEDED(marked))
    kestlib::WriteLog(kestlib::Severity::Info,
                      L"The temporary folder '" + folder + L"' will be removed at the next restart.");
  else
    kestlib::WriteLog(kestlib::Severity::Warning, L"The temporary folder '" + folder +
                                                      L"' could not be marked for removal at the next restart: " +
                                                      kestlib::SystemErrorText(marked));
  return hr;
}
