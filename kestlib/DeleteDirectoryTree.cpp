#include "kestlib/DeleteDirectoryTree.h"

#include "kestlib/Hresult.h"
#include "kestlib/TreeWalk.h"

namespace kestlib {
namespace {

bool Has(DeleteTreeFlags flags, DeleteTreeFlags bit) {
  return (static_cast<std::uint32_t>(flags) & static_cast<std::uint32_t>(bit)) != 0;
}

HRESULT RemoveFile(const std::wstring& path, DWORD attributes, bool clearReadOnly) {
  const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  if (readOnly && !clearReadOnly) return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
  if (readOnly && !SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL)) return HresultFromLastError();
  if (DeleteFileW(path.c_str())) return S_OK;
  const HRESULT hr = HresultFromLastError();
  // The file stays, so it keeps its protection.
  if (readOnly) SetFileAttributesW(path.c_str(), attributes);
  return hr;
}

HRESULT MarkForRestart(const std::wstring& path) {
  return MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) ? S_OK : HresultFromLastError();
}

}  // namespace

HRESULT DeleteDirectoryTree(const std::wstring& folder, DeleteTreeFlags flags) {
  const bool clearReadOnly = Has(flags, DeleteTreeFlags::ClearReadOnly);
  const bool removeRoot = Has(flags, DeleteTreeFlags::RemoveRoot);
  return WalkTree(
      folder, {Has(flags, DeleteTreeFlags::Recurse), Has(flags, DeleteTreeFlags::StopAtFirstFailure)},
      [clearReadOnly](const std::wstring& path, DWORD attributes) {
        // A link goes by itself; its target may lie outside the tree.
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
          return RemoveDirectoryW(path.c_str()) ? S_OK : HresultFromLastError();
        return RemoveFile(path, attributes, clearReadOnly);
      },
      [removeRoot](const std::wstring& path, bool isRoot) {
        if (isRoot && !removeRoot) return S_OK;
        return RemoveDirectoryW(path.c_str()) ? S_OK : HresultFromLastError();
      });
}

HRESULT RemoveTreeAtRestart(const std::wstring& folder) {
  return WalkTree(
      folder, {true, true}, [](const std::wstring& path, DWORD) { return MarkForRestart(path); },
      [](const std::wstring& path, bool) { return MarkForRestart(path); });
}

}  // namespace kestlib
