// The temporary folders the installer extracts into: created by it under a
// name nobody can foresee, never one that existed before, and removed with
// everything in it at the end of the run.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "core/PathRules.h"
#include "setup/startup/RunFolderRemoval.h"

// Fills a draw with random words; false when the source fails.
using RandomSource = std::function<bool(FolderNameDraw& draw)>;

// The system's cryptographic random source.
bool SystemRandom(FolderNameDraw& draw);

// Creates a new folder with a generated name inside parent and stores its
// path in folder. A name that exists already (a folder someone else made,
// perhaps with a planted DLL in it) is never used: another one is drawn, a
// bounded number of times.
HRESULT CreateTempFolder(const std::wstring& parent, const RandomSource& random, std::wstring& folder);

// The removal at the end of a worker's run: RemoveRunFolder, and a
// failure that it throws (out of memory while it builds paths or texts) is
// logged and goes no further, so that the worker still reports its outcome.
void CleanUpRunFolder(const std::wstring& folder) noexcept;
