#include "setup/extraction/ExtractArchive.h"

#include "setup/extraction/ExtractCallback.h"

#include <Common/MyException.h>
#include <7zip/UI/Common/ExitCode.h>
#include <7zip/UI/Common/Extract.h>
#include <7zip/UI/Common/LoadCodecs.h>

#include <shlobj.h>

#include <new>

namespace {

// The image and the configuration block before the archive end within this.
constexpr UInt64 kArchiveSearchLimit = 4 << 20;

bool IsAbsolute(const std::wstring& path) {
  const bool drive = path.size() >= 3 && ((path[0] | 0x20) >= L'a' && (path[0] | 0x20) <= L'z') &&
                     path[1] == L':' && path[2] == L'\\';
  return drive || path.compare(0, 2, L"\\\\") == 0;
}

// Creates the folder with its missing parents unless it is one already.
// The engine would put the archive's name in place of a '*', and a relative
// path would depend on the current folder, so both are refused.
HRESULT CreateDestination(const std::wstring& folder) {
  if (folder.find_first_of(L"*?") != std::wstring::npos)
    return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
  if (!IsAbsolute(folder)) return HRESULT_FROM_WIN32(ERROR_BAD_PATHNAME);
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return S_OK;
  const int error = SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error);
}

void SelectEverything(NWildcard::CCensorNode& selection) {
  NWildcard::CItem everything;
  everything.PathParts.Add(L"*");
  everything.Recursive = true;
  everything.ForFile = true;
  everything.ForDir = true;
  everything.WildcardMatching = true;
  selection.AddItem(true, everything);
}

// Any format, found by its signature within the search limit.
CObjectVector<COpenType> LimitedSearch() {
  COpenType type;
  type.MaxStartOffset_Defined = true;
  type.MaxStartOffset = kArchiveSearchLimit;
  CObjectVector<COpenType> types;
  types.Add(type);
  return types;
}

// A narrow text the engine threw, in the thread's ANSI code page.
ExtractOutcome EngineText(const char* text) {
  std::wstring wide;
  const int length = MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, nullptr, 0);
  if (length > 1) {
    wide.resize(static_cast<std::size_t>(length));
    // A text that cannot be converted is left out rather than shown half.
    if (MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, &wide[0], length) == length)
      wide.pop_back();
    else
      wide.clear();
  }
  return {E_FAIL, wide, 0};
}

ExtractOutcome RunEngine(IExtractWorker& worker, const std::wstring& destination,
                         const FreeSpaceQuery& freeSpace) {
  CCodecs* codecs = new CCodecs;
  const CMyComPtr<IUnknown> codecsRef = codecs;
  const HRESULT loaded = codecs->Load();
  if (loaded != S_OK) return {loaded, {}};

  UStringVector paths;
  paths.Add(UString(worker.ArchivePath().c_str()));
  UStringVector fullPaths = paths;
  NWildcard::CCensorNode selection;
  SelectEverything(selection);

  CExtractOptions options;
  options.PathMode = NExtract::NPathMode::kFullPaths;
  options.OverwriteMode = NExtract::NOverwriteMode::kAsk;
  options.OutputDir = us2fs(UString(destination.c_str()));

  CExtractCallback* callback = new CExtractCallback(worker, destination, freeSpace);
  const CMyComPtr<IFolderArchiveExtractCallback> callbackRef = callback;
  COpenCallback openCallback(worker);
  UString errorMessage;
  CDecompressStat stat;
  const HRESULT result = Extract(codecs, LimitedSearch(), CIntVector(), paths, fullPaths,
                                 selection, options, &openCallback, callback, callback,
                                 errorMessage, stat);
  if (result != S_OK) return {result, callback->Message()};
  if (!errorMessage.IsEmpty()) return {E_FAIL, errorMessage.Ptr()};
  return {};
}

}  // namespace

HRESULT QueryFreeSpace(const std::wstring& folder, std::uint64_t& available) {
  ULARGE_INTEGER forCaller;
  if (!GetDiskFreeSpaceExW(folder.c_str(), &forCaller, nullptr, nullptr)) {
    const DWORD error = GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : S_FALSE;
  }
  available = forCaller.QuadPart;
  return S_OK;
}

ExtractOutcome ExtractArchive(IExtractWorker& worker, FreeSpaceQuery freeSpace) {
  std::wstring destination = worker.Destination();
  if (!destination.empty() && destination.back() == L'\\') destination.pop_back();
  const HRESULT created = CreateDestination(destination);
  if (created != S_OK) {
    worker.SetCurrentItem(worker.Destination());
    return {created, {}};
  }
  // The engine reports its own failures by throwing; none leaves here.
  try {
    return RunEngine(worker, destination + L'\\', freeSpace);
  } catch (const CSystemException& e) {
    return {e.ErrorCode, {}};
  } catch (const std::bad_alloc&) {
    return {E_OUTOFMEMORY, {}};
  } catch (const char* text) {
    return EngineText(text);
  } catch (const AString& text) {
    return EngineText(text.Ptr());
  } catch (const UString& text) {
    return {E_FAIL, text.Ptr(), 0};
  } catch (NExitCode::EEnum code) {
    return {E_FAIL, {}, static_cast<std::int32_t>(code)};
  } catch (int code) {
    return {E_FAIL, {}, code};
  } catch (...) {
    return {E_UNEXPECTED, {}};
  }
}
