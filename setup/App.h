// The application object: runs the start-up phases in their order and
// owns the configuration and the process exit code.
#pragma once

#include <cstdint>
#include <string>

#include "ConfigStore.h"
#include "RunSettings.h"
#include "kestlib/framework/WinApp.h"

class CApp : public kestlib::CWinApp {
 public:
  CApp();

  BOOL InitInstance() override;
  int ExitInstance() override;

  bool ReadConfiguration();
  bool PrepareExtractDir();
  std::int32_t RunExtraction();
  std::wstring MakeTempFolderName() const;

 private:
  std::int32_t m_exitCode = 0;
  std::int32_t m_uiLevel = UiNormal;
  ConfigStore m_config;
  std::wstring m_productName;
  std::wstring m_extractDir;
  bool m_extractOnly = false;
  bool m_showLanguageDialog = false;
  bool m_askTargetDir = false;
};
