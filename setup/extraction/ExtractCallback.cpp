#include "setup/extraction/ExtractCallback.h"

#include <7zip/Archive/IArchive.h>
#include <7zip/UI/Common/OpenArchive.h>

#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

#include "core/PathRules.h"
#include "core/startup/RunSettings.h"
#include "kestlib/Holders.h"
#include "setup/extraction/engine/ExtractionTime.h"

namespace {

constexpr HRESULT kDiskFull = HRESULT_FROM_WIN32(ERROR_DISK_FULL);
constexpr HRESULT kInvalidData = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
constexpr HRESULT kCrcError = HRESULT_FROM_WIN32(ERROR_CRC);
constexpr unsigned kPasswordChars = 1024;

// Both the progress thread and the item thread may read the total; a lock
// would be needed if 64-bit atomics were not native on the target.
static_assert(std::atomic<std::uint64_t>::is_always_lock_free);

HRESULT ItemResult(Int32 opRes) {
  using namespace NArchive::NExtract::NOperationResult;
  switch (opRes) {
    case kOK:
      return S_OK;
    case kUnsupportedMethod:
      return E_NOTIMPL;
    case kCRCError:
      return kCrcError;
    // Everything that says the archive's bytes are not what they should be
    // is reported as a damaged setup file.
    case kDataError:
    case kUnexpectedEnd:
    case kDataAfterEnd:
    case kIsNotArc:
    case kHeadersError:
    case kWrongPassword:
      return kInvalidData;
    default:
      return E_UNEXPECTED;
  }
}

}  // namespace

std::uint32_t PerMille(std::uint64_t completed, std::uint64_t total) {
  if (completed >= total) return 1000;
  // Beyond 2^54 bytes both are scaled down until completed * 1000 fits;
  // total stays above 2^53, far finer than a per mille.
  while (completed > std::numeric_limits<std::uint64_t>::max() / 1000) {
    completed >>= 1;
    total >>= 1;
  }
  // Scaling may round completed up to total; it was below it.
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(completed * 1000 / total, 999));
}

std::uint32_t ExtractionPerMille(std::uint64_t bytes, std::uint64_t totalBytes, std::uint64_t files,
                                 std::uint64_t totalFiles) {
  // In units of a file's cost: no sum can overflow, whatever the archive
  // claims, and a unit is far finer than a per mille of any large archive.
  const std::uint64_t total = totalBytes / kFileCost + totalFiles;
  return total == 0 ? 1000 : PerMille(bytes / kFileCost + files, total);
}

// An item that cannot be stamped keeps the time it has; the files are
// there, which is what matters to the setup.
void StampWithCurrentTime(const std::wstring& path) {
  const FILETIME now = ToFileTime(ExtractionTime());
  // Backup semantics open folders too; a link is stamped itself.
  const kestlib::UniqueFile item(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                             nullptr));
  if (item) SetFileTime(item.get(), nullptr, nullptr, &now);
}

CExtractCallback::CExtractCallback(IExtractWorker& worker, std::wstring destination,
                                   FreeSpaceQuery freeSpace)
    : m_worker(worker), m_destination(std::move(destination)), m_freeSpace(std::move(freeSpace)) {}

LRESULT CExtractCallback::Send(UINT message, WPARAM wParam, LPARAM lParam) const {
  const HWND window = m_worker.Window();
  return window ? SendMessageW(window, message, wParam, lParam) : 0;
}

HRESULT CExtractCallback::ContinueUnlessStopped() const {
  return m_worker.IsStopRequested() ? E_ABORT : S_OK;
}

Z7_COM7F_IMF(CExtractCallback::SetTotal(UInt64 total)) {
  m_worker.SetTotalSize(total);
  m_total = total;
  std::uint64_t available = 0;
  const HRESULT queried = m_freeSpace(m_destination, available);
  if (FAILED(queried)) return queried;
  // A query that failed without a reason gives nothing to refuse on.
  if (queried == S_OK && !HasRoomFor(total, available)) return kDiskFull;
  return ContinueUnlessStopped();
}

Z7_COM7F_IMF(CExtractCallback::SetCompleted(const UInt64* completed)) {
  if (completed) {
    m_completed = *completed;
    ReportProgress();
  }
  return ContinueUnlessStopped();
}

void CExtractCallback::ReportProgress() {
  if (m_fileCount == kUnknownCount) return;
  const std::uint32_t perMille = ExtractionPerMille(m_completed, m_total, m_filesDone, m_fileCount);
  // The engine reports every few KiB, in multithreaded decoding from
  // several threads: only a position beyond the last one sent is worth a
  // message, so the bar never goes back and gets at most 1,001 of them.
  std::uint32_t sent = m_sentPosition;
  const std::uint64_t now = GetTickCount64();
  if (!ProgressDue(perMille, sent != 0, now - m_sentAt)) return;
  do {
    if (perMille < sent) return;
  } while (!m_sentPosition.compare_exchange_weak(sent, perMille + 1));
  m_sentAt = now;
  Send(WM_SFX_PROGRESS, 0, perMille);
}

Z7_COM7F_IMF(CExtractCallback::AskOverwrite(const wchar_t* existName, const FILETIME*,
                                            const UInt64*, const wchar_t*, const FILETIME*,
                                            const UInt64*, Int32* answer)) {
  // Our answers are numbered like the dialog's, not like the engine's (whose
  // 4 means "rename"), so each is mapped by name.
  switch (Send(WM_SFX_ASK_OVERWRITE, 0, reinterpret_cast<LPARAM>(existName))) {
    case OverwriteYes:
      *answer = NOverwriteAnswer::kYes;
      return S_OK;
    case OverwriteYesToAll:
      *answer = NOverwriteAnswer::kYesToAll;
      return S_OK;
    case OverwriteNoToAll:
      *answer = NOverwriteAnswer::kNoToAll;
      return S_OK;
    case OverwriteCancel:
      return E_ABORT;
    default:
      *answer = NOverwriteAnswer::kNo;
      return S_OK;
  }
}

Z7_COM7F_IMF(CExtractCallback::PrepareOperation(const wchar_t* name, Int32 isFolder,
                                                Int32 askExtractMode, const UInt64*)) {
  const std::wstring relative = ExtractedItemPath(name, isFolder != 0);
  // A folder "." is the extraction folder itself.
  if (!relative.empty()) m_worker.AddExtractedItem(isFolder ? relative + L'\\' : relative);
  m_worker.SetCurrentItem(relative);
  m_currentPath = m_destination + relative;
  // A file kept on an overwrite question arrives as skipped; it keeps its time.
  m_currentIsWritten = askExtractMode == NArchive::NExtract::NAskMode::kExtract;
  m_currentIsFolder = isFolder != 0;
  m_currentStartTime = ExtractionTime();
  return S_OK;
}

Z7_COM7F_IMF(CExtractCallback::MessageError(const wchar_t* message)) {
  m_message = message;
  return E_FAIL;
}

Z7_COM7F_IMF(CExtractCallback::SetOperationResult(Int32 opRes, Int32)) {
  if (!m_currentIsFolder) {
    ++m_filesDone;
    ReportProgress();
  }
  const HRESULT result = ItemResult(opRes);
  // The engine has closed the file and given it the time its 7z handler
  // answered when the item began (engine/SevenZipFormat.cpp): only a file
  // whose writing crossed into another second needs the time again. A
  // folder has no data to write; the engine gives it that time when it
  // closes the archive, after its last file.
  if (result == S_OK && m_currentIsWritten && !m_currentIsFolder && ExtractionTime() != m_currentStartTime)
    StampWithCurrentTime(m_currentPath);
  return result;
}

HRESULT CExtractCallback::AskPassword() {
  std::vector<wchar_t> buffer(kPasswordChars, L'\0');
  const LRESULT confirmed = Send(WM_SFX_GET_PASSWORD, reinterpret_cast<WPARAM>(buffer.data()),
                                 static_cast<LPARAM>(buffer.size()));
  // The dialog may fill the whole buffer without a terminator.
  buffer.back() = L'\0';
  if (confirmed != 1) return E_ABORT;
  m_password = buffer.data();
  return S_OK;
}

Z7_COM7F_IMF(CExtractCallback::CryptoGetTextPassword(BSTR* password)) {
  *password = nullptr;
  // An empty answer is not kept, so the next request asks again.
  if (m_password.empty()) {
    const HRESULT asked = AskPassword();
    if (asked != S_OK) return asked;
  }
  *password = SysAllocStringLen(m_password.data(), static_cast<UINT>(m_password.size()));
  return *password ? S_OK : E_OUTOFMEMORY;
}

HRESULT CExtractCallback::BeforeOpen(const wchar_t*, bool) { return S_OK; }

HRESULT CExtractCallback::OpenResult(const CCodecs*, const CArchiveLink& arcLink,
                                     const wchar_t* name, HRESULT result) {
  // No archive in the file: a missing payload.
  if (result == S_FALSE) return kInvalidData;
  if (result != S_OK) return result;
  // When the file holds no archive, the engine tries "<name>.7z" and
  // "<name>.7z.001" beside an ".exe"; a stray file there is never extracted
  // in place of our own payload.
  if (arcLink.Arcs.Size() == 0 || wcscmp(arcLink.Arcs[0].Path, name) != 0) return kInvalidData;
  // The files to come, for the progress; folders report no result. The
  // engine would write an item whose stored path it must change under
  // another one, where the setup would not find it: such an item fails the
  // run before anything is created.
  const CArc& arc = arcLink.Arcs[0];
  UInt32 items = 0;
  if (FAILED(arc.Archive->GetNumberOfItems(&items))) return S_OK;
  std::uint64_t files = 0;
  for (UInt32 i = 0; i < items; ++i) {
    bool folder = false;
    UString path;
    if (FAILED(Archive_IsItem_Dir(arc.Archive, i, folder)) || FAILED(arc.GetItem_Path2(i, path))) continue;
    if (!ItemPathProblem(path.Ptr(), folder).empty()) {
      m_worker.SetCurrentItem(path.Ptr());
      return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
    }
    if (!folder) ++files;
  }
  m_fileCount = files;
  return S_OK;
}

HRESULT CExtractCallback::ThereAreNoFiles() { return S_OK; }
HRESULT CExtractCallback::ExtractResult(HRESULT result) { return result; }

HRESULT CExtractCallback::SetPassword(const UString& password) {
  m_password = password.Ptr();
  return S_OK;
}

HRESULT COpenCallback::Open_CheckBreak() { return m_worker.IsStopRequested() ? E_ABORT : S_OK; }
HRESULT COpenCallback::Open_SetTotal(const UInt64*, const UInt64*) { return Open_CheckBreak(); }
HRESULT COpenCallback::Open_SetCompleted(const UInt64*, const UInt64*) { return Open_CheckBreak(); }
HRESULT COpenCallback::Open_Finished() { return S_OK; }

HRESULT COpenCallback::Open_CryptoGetTextPassword(BSTR* password) {
  *password = nullptr;
  return S_OK;
}
