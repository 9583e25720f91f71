// The end of an extract-only run: where the files are, with a link that
// opens that folder with the extracted items selected.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "kestlib/localization/IStringResources.h"

struct ExtractCompletion {
  HWND owner;
  std::wstring productName;
  int uiLevel;
  // Ends with a backslash.
  std::wstring folder;
  // Relative paths as the engine announced them, folders with a backslash.
  std::vector<std::wstring> items;
};

// Shown at the normal level only, so that no unattended run waits on it;
// logged at every level.
void ShowExtractCompletion(const ExtractCompletion& completion, const kestlib::IStringResources& strings);

// Opens the folder in the shell with its top-level extracted items
// selected; a failure is reported in an error box.
void OpenExtractFolder(const ExtractCompletion& completion, const kestlib::IStringResources& strings);
