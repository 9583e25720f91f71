// The application object: runs the start-up phases in their order and
// owns the configuration and the process exit code.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/payload/ConfigStore.h"
#include "core/startup/RunSettings.h"
#include "hvmsi/InstallStringResources.h"
#include "kestlib/Holders.h"
#include "kestlib/framework/WinApp.h"

class CApp : public kestlib::CWinApp {
 public:
  CApp();

  BOOL InitInstance() override;
  int ExitInstance() override;
  int DoMessageBox(const wchar_t* prompt, UINT type, UINT helpId) override;

  // Loads the string table of a culture (empty: the system's choice) and
  // the culture's own texts from the configuration; false after showing
  // why it failed.
  bool SetCulture(const std::wstring& culture);
  bool ParseCommandLine();
  bool ReadConfiguration();
  // Settles the culture of the run from the configuration's languages, the
  // command line, the user's settings and the language dialog; false when
  // the user cancelled the dialog.
  bool ChooseLanguage();
  // False after showing why the program's own file is incomplete or no
  // executable; an archive named with /e is not checked.
  bool CheckSetupFile();
  bool PrepareExtractDir();
  std::int32_t RunExtraction();
  void ShowCommandLineHelp();

 private:
  // A key of the culture's language section, with "main" as its default.
  std::wstring LanguageValue(const std::wstring& key, const std::wstring& defaultValue) const;
  std::int32_t LanguageInt(const std::wstring& key, std::int32_t defaultValue) const;

  std::optional<kestlib::ComInitialization> m_com;
  std::int32_t m_exitCode = 0;
  std::int32_t m_uiLevel = UiNormal;
  ConfigStore m_config;
  std::wstring m_cmdCulture;
  std::wstring m_culture;
  std::wstring m_productName;
  std::wstring m_extractDir;
  std::wstring m_archivePath;
  bool m_extractOnly = false;
  bool m_callerSuppliesDataFile = false;
  bool m_hasLanguageSections = false;
  bool m_showLanguageDialog = false;
  bool m_askTargetDir = false;
  std::int32_t m_overwriteAnswer = OverwriteYesToAll;
  hvmsi::InstallStringResources m_strings;
};
