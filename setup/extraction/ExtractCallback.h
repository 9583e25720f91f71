// The answers the archive engine gets while it opens and extracts the
// installer's archive: free space, progress, overwrite questions, the
// password, and per-item results.
#pragma once

// The engine needs the COM declarations that WIN32_LEAN_AND_MEAN leaves out.
#include <objbase.h>
#include <oleauto.h>

#include <Common/Common.h>

#include <Common/MyCom.h>
#include <7zip/IPassword.h>
#include <7zip/UI/Common/ArchiveOpenCallback.h>
#include <7zip/UI/Common/IFileExtractCallback.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "setup/extraction/ExtractArchive.h"
#include "setup/extraction/ExtractRules.h"

// One per extraction; the engine's reference counting owns it.
//
// Threads: progress, the password question and the open result come from
// the thread that runs the extraction; with a filter in the coder chain the
// item reports (PrepareOperation, AskOverwrite, MessageError,
// SetOperationResult) come from the engine's decoding thread at the same
// time. Each group keeps to its own fields, and the item fields are read
// only after the engine's Extract has returned.
class CExtractCallback final :
    public IFolderArchiveExtractCallback,
    public ICryptoGetTextPassword,
    public IExtractCallbackUI,
    public CMyUnknownImp {
  // Atomic reference count: the engine's threads may hold references.
  Z7_COM_QI_BEGIN2(IFolderArchiveExtractCallback)
  Z7_COM_QI_ENTRY(ICryptoGetTextPassword)
  Z7_COM_QI_END_MT
  Z7_COM_ADDREF_RELEASE_MT

  Z7_IFACE_COM7_IMP(IProgress)
  Z7_IFACE_COM7_IMP(IFolderArchiveExtractCallback)
  Z7_IFACE_COM7_IMP(ICryptoGetTextPassword)
  Z7_IFACE_IMP(IExtractCallbackUI)

 public:
  // destination ends with a backslash.
  CExtractCallback(IExtractWorker& worker, std::wstring destination, FreeSpaceQuery freeSpace);

  // The last text the engine reported through MessageError.
  const std::wstring& Message() const { return m_message; }

 private:
  LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) const;
  HRESULT ContinueUnlessStopped() const;
  HRESULT AskPassword();
  // Sends the extraction's position when it moved beyond the last one sent
  // and the interval since that one has passed.
  void ReportProgress();

  IExtractWorker& m_worker;
  const std::wstring m_destination;
  const FreeSpaceQuery m_freeSpace;
  static constexpr std::uint64_t kUnknownCount = ~std::uint64_t{0};
  std::atomic<std::uint64_t> m_total{0};
  std::atomic<std::uint64_t> m_completed{0};
  // Files of the archive, known once it is open, and files reported.
  std::atomic<std::uint64_t> m_fileCount{kUnknownCount};
  std::atomic<std::uint64_t> m_filesDone{0};
  // The last position sent plus one; 0 before the first.
  std::atomic<std::uint32_t> m_sentPosition{0};
  // When it was sent, in GetTickCount64 milliseconds.
  std::atomic<std::uint64_t> m_sentAt{0};
  std::wstring m_password;
  // Item side (see above).
  std::wstring m_message;
  std::wstring m_currentPath;
  bool m_currentIsWritten = false;
  bool m_currentIsFolder = false;
  std::uint64_t m_currentStartTime = 0;
};

// The engine's open callback: no password for encrypted headers, so such an
// archive fails to open; cancelling stops the search.
class COpenCallback final : public IOpenCallbackUI {
  Z7_IFACE_IMP(IOpenCallbackUI)

 public:
  explicit COpenCallback(const IExtractWorker& worker) : m_worker(worker) {}

 private:
  const IExtractWorker& m_worker;
};
