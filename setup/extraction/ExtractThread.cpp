#include "setup/extraction/ExtractThread.h"

#include <cwchar>

#include "setup/startup/TempFolder.h"
#include "kestlib/ErrorText.h"
#include "kestlib/Log.h"

namespace {
constexpr HRESULT kInvalidData = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
constexpr HRESULT kCrcError = HRESULT_FROM_WIN32(ERROR_CRC);
constexpr HRESULT kDiskFull = HRESULT_FROM_WIN32(ERROR_DISK_FULL);
}  // namespace

ExtractErrorInfo DescribeFailure(const ExtractOutcome& outcome, const std::wstring& currentItem,
                                 std::uint64_t totalSize) {
  ExtractErrorInfo info;
  info.code = outcome.result;
  if (!outcome.message.empty() || outcome.engineCode) {
    // The engine's own words say more than the result they ended with.
    info.kind = ExtractFailure;
    info.code = outcome.engineCode.value_or(0);
    info.message = outcome.message;
  } else if (outcome.result == kInvalidData || outcome.result == kCrcError) {
    info.kind = ExtractBadArchive;
  } else {
    info.kind = ExtractSystemError;
    info.item = currentItem;
    if (outcome.result == kDiskFull) info.requiredBytes = totalSize;
  }
  return info;
}

std::wstring ExtractErrorReport(const ExtractErrorInfo& info, const kestlib::IStringResources& strings) {
  if (info.kind == ExtractBadArchive) return strings.GetText(L"SfxErrorBadArchive");
  std::wstring text = strings.GetText(L"SfxErrorExtract");
  wchar_t detail[64] = {};
  switch (info.kind) {
    case ExtractSystemError:
      // A full disk is reported like any other system error here.
      text += L"\n\n" + kestlib::SystemErrorText(info.code);
      if (!info.item.empty()) text += L"\n\n" + info.item;
      break;
    case ExtractFailure:
      if (!info.message.empty()) text += L"\n\n" + info.message;
      if (info.code != 0) {
        std::swprintf(detail, 64, L" (0x%08X)", static_cast<unsigned>(info.code));
        text += detail;
      }
      break;
    default:
      std::swprintf(detail, 64, L"Error type: %d\nError code: 0x%08X", static_cast<int>(info.kind),
                    static_cast<unsigned>(info.code));
      text += L"\n\n" + std::wstring(detail);
      break;
  }
  return text;
}

CExtractThread::~CExtractThread() {
  // Run uses this object's members: they must outlive the thread.
  Stop(true);
}

bool CExtractThread::Start(const ExtractParams& params) {
  if (IsRunning()) return false;
  m_params = params;
  m_currentItem.clear();
  m_totalSize = 0;
  m_items.clear();
  return CMfcWorkerThread::Start();
}

DWORD CExtractThread::Run() {
  // The dialog waits for one of the three reports, whatever happens here.
  UINT report = WM_SFX_EXTRACT_FAILED;
  try {
    report = Extract();
  } catch (...) {
    // Out of memory while the failure was being described: it goes
    // unexplained, but it is reported.
  }
  if (report != WM_SFX_EXTRACT_DONE) RemoveFailedExtraction();
  Post(report);
  return 0;
}

UINT CExtractThread::Extract() {
  const ExtractOutcome outcome = ExtractArchive(*this);
  if (outcome.result == S_OK) {
    kestlib::WriteLog(kestlib::Severity::Info, L"Extracted the archive into '" + m_params.destination + L"'.");
    return WM_SFX_EXTRACT_DONE;
  }
  if (outcome.result == E_ABORT) return WM_SFX_EXTRACT_CANCELLED;
  ExtractErrorInfo info = DescribeFailure(outcome, m_currentItem, m_totalSize);
  // Sent, so the record on this stack stays valid while the dialog reads it.
  if (m_params.window) SendMessageW(m_params.window, WM_SFX_EXTRACT_ERROR, reinterpret_cast<WPARAM>(&info), 0);
  return WM_SFX_EXTRACT_FAILED;
}

void CExtractThread::Post(UINT message) const noexcept {
  // Without a window a post would land in no dialog's queue.
  if (m_params.window) PostMessageW(m_params.window, message, 0, 0);
}

void CExtractThread::RemoveFailedExtraction() const noexcept {
  if (!m_params.deleteOnFailure) return;
  Post(WM_SFX_DELETING_FILES);
  CleanUpRunFolder(m_params.destination);
}
