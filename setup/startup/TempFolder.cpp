#include "setup/startup/TempFolder.h"

#include <ntsecapi.h>

#include "kestlib/ErrorText.h"
#include "kestlib/Log.h"

namespace {
// A clash is all but impossible with 36^8 names; many mean someone plants them.
constexpr int kAttempts = 100;

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

void CleanUpRunFolder(const std::wstring& folder) noexcept {
  try {
    RemoveRunFolder(folder);
  } catch (...) {
    try {
      kestlib::WriteLog(kestlib::Severity::Error, L"The removal of the temporary folder '" + folder +
                                                      L"' failed:\n" + kestlib::ExceptionDescription(0));
    } catch (...) {
      // Not even the record could be made; the worker reports all the same.
    }
  }
}
