// The extraction worker: runs ExtractArchive on its own thread and reports
// to the progress dialog by window messages only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "setup/extraction/ExtractArchive.h"
#include "setup/extraction/ExtractWorker.h"
#include "kestlib/WorkerThread.h"
#include "kestlib/localization/IStringResources.h"

// What the dialog hands the worker for one run, by copy.
struct ExtractParams {
  HWND window = nullptr;
  std::wstring archivePath;
  std::wstring destination;
  // A temporary folder goes when the extraction fails; a folder the user
  // extracts into keeps what arrived.
  bool deleteOnFailure = true;
};

enum ExtractErrorKind : std::int32_t {
  ExtractBadArchive = 0,
  ExtractSystemError = 1,
  ExtractFailure = 2,
};

// A failed extraction, sent to the dialog for its report.
struct ExtractErrorInfo {
  std::int32_t kind = ExtractFailure;
  std::int32_t code = 0;
  std::wstring message;
  // The item being processed, or the destination, for system errors.
  std::wstring item;
  // For a full disk: the bytes the whole extraction needs.
  std::uint64_t requiredBytes = 0;
};

// How a finished extraction is reported.
ExtractErrorInfo DescribeFailure(const ExtractOutcome& outcome, const std::wstring& currentItem,
                                 std::uint64_t totalSize);

// The text of the error report the user sees for a failed extraction.
std::wstring ExtractErrorReport(const ExtractErrorInfo& info, const kestlib::IStringResources& strings);

class CExtractThread : public kestlib::CMfcWorkerThread, public IExtractWorker {
 public:
  ~CExtractThread() override;

  // False while a previous run is still going.
  bool Start(const ExtractParams& params);
  // The items of the last run; read only after it ended.
  const std::vector<std::wstring>& ExtractedItems() const { return m_items; }

  HWND Window() const override { return m_params.window; }
  std::wstring ArchivePath() const override { return m_params.archivePath; }
  std::wstring Destination() const override { return m_params.destination; }
  void SetCurrentItem(const std::wstring& item) override { m_currentItem = item; }
  void SetTotalSize(std::uint64_t bytes) override { m_totalSize = bytes; }
  void AddExtractedItem(const std::wstring& item) override { m_items.push_back(item); }
  bool IsStopRequested() const override { return CMfcWorkerThread::IsStopRequested(); }

 protected:
  DWORD Run() override;

 private:
  // The extraction and, when it failed, its error report; the report to
  // post at the end.
  UINT Extract();
  void Post(UINT message) const noexcept;
  void RemoveFailedExtraction() const noexcept;

  ExtractParams m_params;
  std::wstring m_currentItem;
  std::uint64_t m_totalSize = 0;
  std::vector<std::wstring> m_items;
};
