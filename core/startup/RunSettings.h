// What the last start-up phase hands to the progress dialog, by value.
#pragma once

#include <cstdint>
#include <string>

// How much user interface a run shows.
enum UiLevel : std::int32_t {
  UiSilent = 0,   // /q: nothing at all
  UiMinimal = 1,  // /qm: errors and warnings only, progress hidden
  UiBasic = 2,    // /qb: errors and warnings, progress shown
  UiReduced = 3,  // /qx: as /qb
  UiNormal = 4,
};

// The preset answer to overwrite questions during extraction.
enum OverwriteAnswer : std::int32_t {
  OverwriteYes = 0,
  OverwriteYesToAll = 1,
  OverwriteNo = 2,
  OverwriteNoToAll = 3,
  OverwriteCancel = 4,
};

struct RunSettings {
  std::int32_t uiLevel = UiNormal;
  std::wstring productName;
  std::wstring culture;
  std::wstring archivePath;
  std::wstring extractDir;  // with a trailing backslash unless empty
  std::wstring setupFileName;
  std::wstring setupParams;
  std::int32_t overwriteAnswer = OverwriteYesToAll;
  std::int32_t setupShow = 1;
  bool prettyProgress = false;
  bool extractOnly = false;
  bool hasLanguageSections = false;
  bool askTargetDir = false;
  bool showLanguageDialog = false;
  bool callerSuppliesDataFile = false;
  bool forwardResourceData = false;
};

// Exit codes of the process besides 0 and the setup's own code. The
// application-defined ones carry bit 29.
enum ExitCode : std::int32_t {
  ExitCancelled = 1602,
  ExitStringsUnavailable = 0x20000002,
  ExitPreparationFailed = 0x20001004,
  ExitSetupNotStarted = 0x20001005,
};
