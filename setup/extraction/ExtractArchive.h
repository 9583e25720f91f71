// Extracts the 7z archive behind the installer's image into a folder.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "setup/extraction/ExtractWorker.h"

// Bytes available to the calling user on the volume of a folder, or the
// HRESULT of the failure; S_FALSE when the query failed without a system
// error, which lets the extraction go on unchecked. Replaceable so tests
// can set the boundary.
using FreeSpaceQuery = std::function<HRESULT(const std::wstring& folder, std::uint64_t& available)>;

// GetDiskFreeSpaceExW for the folder.
HRESULT QueryFreeSpace(const std::wstring& folder, std::uint64_t& available);

struct ExtractOutcome {
  // S_OK, or why the extraction stopped: E_ABORT when cancelled, 0x80070070
  // for too little disk space, 0x8007000D for a missing archive or damaged
  // data, 0x80070017 for a CRC error, E_NOTIMPL for an unsupported method,
  // the HRESULT of a Win32 error for a file operation.
  HRESULT result = S_OK;
  // The engine's own description of the failure, when it gave one.
  std::wstring message;
  // Set when the engine threw a value of its own rather than a result: the
  // number it threw (an exit code or an internal check), 0 for a text.
  std::optional<std::int32_t> engineCode = std::nullopt;
};

// Extracts every item of the archive in the worker's file into the worker's
// destination, creating that folder first. The archive must begin within
// the first 4 MiB of the file; nothing beside the file is ever opened
// instead. Items keep their paths below the destination (the engine makes
// hostile names harmless), existing files are asked about through the
// dialog, and every extracted file and folder carries the extraction time.
// Runs on the worker's thread and throws nothing.
ExtractOutcome ExtractArchive(IExtractWorker& worker, FreeSpaceQuery freeSpace = QueryFreeSpace);
