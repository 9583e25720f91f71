#include "setup/extraction/TempLocation.h"

#include <windows.h>
#include <shlobj.h>

#include "core/PathRules.h"

namespace {
// 26 drives of "X:\" and their terminators, and the list's own.
constexpr DWORD kDriveStringsChars = 109;
}  // namespace

bool FindLargestFreeDrive(std::wstring* root, std::uint64_t* bytes) {
  if (root) root->clear();
  if (bytes) *bytes = 0;
  wchar_t drives[kDriveStringsChars] = {};
  const DWORD length = GetLogicalDriveStringsW(kDriveStringsChars, drives);
  if (length == 0 || length >= kDriveStringsChars) return false;
  std::uint64_t best = 0;
  for (const wchar_t* drive = drives; *drive; drive += wcslen(drive) + 1) {
    const UINT type = GetDriveTypeW(drive);
    if (type == DRIVE_REMOVABLE || type == DRIVE_REMOTE || type == DRIVE_CDROM) continue;
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(drive, &available, nullptr, nullptr) || available.QuadPart <= best) continue;
    best = available.QuadPart;
    if (root) *root = drive;
    if (bytes) *bytes = best;
  }
  return best > 0;
}

std::wstring LargestFreeLocation() {
  std::wstring root;
  if (FindLargestFreeDrive(&root, nullptr)) return root;
  wchar_t documents[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, documents)))
    return {};
  return CombinePath(documents, L"");
}
