// The messages between the progress dialog and its workers, relative to
// WM_APP. "Sent" ones wait for the dialog's answer; the others are posted.
#pragma once

#include <windows.h>

// Posted by the dialog to itself once it is shown (or at once when hidden).
constexpr UINT WM_SFX_START_EXTRACT = WM_APP + 1;
// Posted by the setup worker: hide the dialog while the setup runs.
constexpr UINT WM_SFX_HIDE = WM_APP + 2;
// Posted by the setup worker: wParam the exit code, lParam whether it ran.
constexpr UINT WM_SFX_SETUP_DONE = WM_APP + 3;
// Posted by the extraction worker at the end of its run.
constexpr UINT WM_SFX_EXTRACT_DONE = WM_APP + 4;
constexpr UINT WM_SFX_EXTRACT_CANCELLED = WM_APP + 5;
constexpr UINT WM_SFX_EXTRACT_FAILED = WM_APP + 6;
// Sent by the extraction worker: wParam points to an ExtractErrorInfo.
constexpr UINT WM_SFX_EXTRACT_ERROR = WM_APP + 7;
// Sent by the extraction: wParam 0, lParam the progress in per mille
// (0..1000); result ignored.
constexpr UINT WM_SFX_PROGRESS = WM_APP + 8;
// Sent by the extraction: wParam 0, lParam the existing file's path
// (zero-terminated); the result is an OverwriteAnswer (RunSettings.h).
constexpr UINT WM_SFX_ASK_OVERWRITE = WM_APP + 9;
// Posted by the extraction worker before it removes a failed extraction.
constexpr UINT WM_SFX_DELETING_FILES = WM_APP + 10;
// Sent by the extraction: wParam a wide buffer, lParam its size in
// characters; the dialog fills the buffer and returns 1 when confirmed.
constexpr UINT WM_SFX_GET_PASSWORD = WM_APP + 11;
