// Removing the folder a run extracted into: tried again while something
// still holds it, then left for the next restart.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

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
// that, and only in a folder of a run's name (CreateTempFolder's) that is
// no link: nothing else is ever marked. The log tells which. Returns S_OK
// when the folder is gone, else the last failure.
HRESULT RemoveRunFolder(const std::wstring& folder, const RemovalPause& pause = Sleep);
