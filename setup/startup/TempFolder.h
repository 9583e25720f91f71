// The temporary folders the installer extracts into: created by it under a
// name nobody can foresee, never one that existed before, and removed with
// everything in it at the end of the run.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "core/PathRules.h"

// Fills a draw with random words; false when the source fails.
using RandomSource = std::function<bool(FolderNameDraw& draw)>;

// The system's cryptographic random source.
bool SystemRandom(FolderNameDraw& draw);

// Creates a new folder with a generated name inside parent and stores its
// path in folder. A name that exists already (a folder someone else made,
// perhaps with a planted DLL in it) is never used: another one is drawn, a
// bounded number of times.
HRESULT CreateTempFolder(const std::wstring& parent, const RandomSource& random, std::wstring& folder);

// Waits between two attempts to remove a run's folder; replaceable so tests
// can stand in for the time that passes.
using RemovalPause = std::function<void(DWORD milliseconds)>;

// The pauses between the attempts, growing, 10 s in all: a virus scanner or
// a process the setup left behind lets go of a file or the folder soon.
const std::vector<DWORD>& RemovalPauses();

// Removes the run's folder with everything in it, trying again after each
// of RemovalPauses while a file or the folder is still held (sharing
// violation, access denied, folder not empty). What is still left then is
// marked for removal at the next restart, where the process may ask for
// that. The log tells which. Returns S_OK when the folder is gone, else the
// last failure.
HRESULT RemoveRunFolder(const std::wstring& folder, const RemovalPause& pause = Sleep);
