// What the extraction needs from the worker that runs it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "setup/extraction/WindowMessages.h"

// Implemented by the extraction worker; it outlives one extraction.
//
// Threads: the engine reports items (SetCurrentItem, AddExtractedItem) from
// its own decoding thread when a filter is in the chain, while progress
// comes from the thread that runs the extraction. Every item report comes
// from one thread at a time, and the engine's threads have ended when
// ExtractArchive returns, so the worker may read the item fields after that
// without a lock. IsStopRequested is called from either thread and must be
// safe for that (an atomic flag).
class IExtractWorker {
 public:
  virtual ~IExtractWorker() = default;

  // The progress dialog; null sends no message (questions read as 0).
  virtual HWND Window() const = 0;
  // The file that carries the archive behind its image.
  virtual std::wstring ArchivePath() const = 0;
  // The folder that receives the items.
  virtual std::wstring Destination() const = 0;
  // The item being extracted, relative to the destination; the destination
  // itself while it is being created.
  virtual void SetCurrentItem(const std::wstring& item) = 0;
  // The number of bytes the whole extraction writes.
  virtual void SetTotalSize(std::uint64_t bytes) = 0;
  // Every item the engine announces, relative to the destination as written
  // there, a folder with a trailing backslash.
  virtual void AddExtractedItem(const std::wstring& item) = 0;
  // True once the user confirmed cancelling.
  virtual bool IsStopRequested() const = 0;
};
