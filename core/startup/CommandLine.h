// The switches of the installer's command line. Everything after the
// program name also reaches the setup unchanged; this only reads what
// steers the installer itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/startup/RunSettings.h"

struct CommandLineOptions {
  std::int32_t uiLevel = UiNormal;
  bool extractOnly = false;
  std::wstring extractDir;
  std::wstring cmdCulture;
  std::wstring archivePath;
  bool callerSuppliesDataFile = false;
  std::int32_t overwriteAnswer = OverwriteYesToAll;
  // "/log FILE": the records are also appended to this file.
  std::wstring logFile;
};

// Reads the arguments (argument 0, the program, is skipped) into options.
// False when help was asked for with "/?"; later switches are then unread.
bool ParseArguments(const std::vector<std::wstring>& args, CommandLineOptions& options);
