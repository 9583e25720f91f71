#include "setup/App.h"

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <clocale>
#include <cwchar>
#include <memory>
#include <vector>

#include "core/payload/ConfigKeys.h"
#include "core/startup/CommandLine.h"
#include "core/localization/Cultures.h"
#include "setup/language/CultureTexts.h"
#include "setup/language/UnzipLanguageDlg.h"
#include "setup/language/UserCulture.h"
#include "setup/startup/Installation.h"
#include "setup/payload/PayloadLocator.h"
#include "setup/startup/SetupFile.h"
#include "setup/startup/SetupPaths.h"
#include "setup/startup/TempFolder.h"
#include "kestlib/DeleteDirectoryTree.h"
#include "kestlib/ErrorText.h"
#include "kestlib/FolderProperties.h"
#include "kestlib/Hresult.h"
#include "kestlib/Log.h"
#include "kestlib/MessageBox.h"
#include "kestlib/SystemInfo.h"
#include "kestlib/ui/BigMessageBox.h"
#include "core/localization/Placeholders.h"
#include "kestlib/localization/XmlStringResourcesLoader.h"

namespace {

constexpr HRESULT kInvalidData = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

namespace ck = configkeys;

constexpr wchar_t kAppTitle[] = L"Setup Self-Extractor";

void ReplaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to) {
  for (std::size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

// Whether a value holds a placeholder besides [ExtractDir], which is no
// folder property.
bool NamesAFolder(std::wstring value) {
  ReplaceAll(value, L"[ExtractDir]", L"");
  return value.find(L'[') != std::wstring::npos;
}

// What a silent run leaves to diagnose it afterwards.
bool LogPhase(const wchar_t* phase, bool succeeded) {
  kestlib::WriteLog(succeeded ? kestlib::Severity::Info : kestlib::Severity::Error,
                    std::wstring(L"Start-up phase ") + phase + (succeeded ? L": done." : L": failed."));
  return succeeded;
}

std::vector<std::wstring> ArgumentVector() {
  return std::vector<std::wstring>(__wargv, __wargv + __argc);
}

}  // namespace

CApp::CApp() : CWinApp(kAppTitle) {}

BOOL CApp::InitInstance() {
  // The user's locale governs case-insensitive comparisons and blank tests.
  std::setlocale(LC_ALL, "");

  // Without them the progress dialog cannot be created, which the run
  // reports then; the log says why.
  INITCOMMONCONTROLSEX controls = {sizeof(controls), 0xFF};
  if (!InitCommonControlsEx(&controls))
    kestlib::WriteLog(kestlib::Severity::Warning, L"The common controls could not be initialized.");
  CWinApp::InitInstance();
  // The shell's folder picker, the taskbar button and the start of the
  // setup through the shell need COM; without it they fail one by one.
  m_com.emplace(COINIT_APARTMENTTHREADED);
  if (FAILED(m_com->result()))
    kestlib::WriteLog(kestlib::Severity::Warning,
                      L"COM could not be initialized: " + kestlib::SystemErrorText(m_com->result()));

  if (!LogPhase(L"string tables", SetCulture(L""))) {
    m_exitCode = ExitStringsUnavailable;
    return FALSE;
  }
  if (!ParseCommandLine()) {
    kestlib::WriteLog(kestlib::Severity::Info, L"Start-up phase command line: help asked for.");
    ShowCommandLineHelp();
    m_exitCode = 0;
    return FALSE;
  }
  LogPhase(L"command line", true);
  if (!LogPhase(L"configuration", ReadConfiguration())) {
    m_exitCode = ExitPreparationFailed;
    return FALSE;
  }
  if (!LogPhase(L"language", ChooseLanguage())) {
    m_exitCode = ExitCancelled;
    return FALSE;
  }
  if (!LogPhase(L"integrity check", CheckSetupFile())) {
    m_exitCode = ExitPreparationFailed;
    return FALSE;
  }
  if (!LogPhase(L"extraction folder", PrepareExtractDir())) {
    m_exitCode = ExitPreparationFailed;
    return FALSE;
  }
  m_exitCode = RunExtraction();
  // The folder made for this run goes also where no extraction began.
  if (!m_extractOnly) {
    using kestlib::DeleteTreeFlags;
    kestlib::DeleteDirectoryTree(m_extractDir,
                                 DeleteTreeFlags::RemoveRoot | DeleteTreeFlags::Recurse | DeleteTreeFlags::ClearReadOnly);
  }
  return FALSE;
}

int CApp::ExitInstance() {
  m_com.reset();
  CWinApp::ExitInstance();
  wchar_t code[16];
  swprintf(code, 16, L"0x%08X", static_cast<unsigned>(m_exitCode));
  kestlib::WriteLog(kestlib::Severity::Info, L"Exit code: " + std::wstring(code));
  return m_exitCode;
}

int CApp::DoMessageBox(const wchar_t* prompt, UINT type, UINT helpId) {
  return kestlib::ShowMessageBox(prompt, type, helpId, m_uiLevel, m_strings);
}

bool CApp::SetCulture(const std::wstring& culture) {
  if (!m_strings.GetLoaders().empty() && culture == m_culture) return true;
  m_culture = culture;
  try {
    m_strings.ClearLoaders();
    m_strings.AddLoader(std::make_shared<kestlib::XmlAppStringResourceLoader>());
    m_strings.Load(culture);
    if (!culture.empty()) {
      ApplyCultureTexts(m_config, culture, m_productName, m_strings);
      SetAppName(m_productName);
    }
  } catch (const std::exception&) {
    kestlib::AfxMessageBox(L"Could not load string resources.\n" + kestlib::ExceptionDescription(0), MB_ICONERROR);
    return false;
  }
  return true;
}

bool CApp::ParseCommandLine() {
  CommandLineOptions options;
  options.uiLevel = m_uiLevel;
  options.overwriteAnswer = m_overwriteAnswer;
  const bool parsed = ParseArguments(ArgumentVector(), options);
  m_uiLevel = options.uiLevel;
  m_extractOnly = options.extractOnly;
  m_extractDir = options.extractDir;
  m_cmdCulture = options.cmdCulture;
  m_archivePath = options.archivePath;
  m_callerSuppliesDataFile = options.callerSuppliesDataFile;
  m_overwriteAnswer = options.overwriteAnswer;
  if (!options.logFile.empty() && !kestlib::AddLogFile(options.logFile))
    kestlib::WriteLog(kestlib::Severity::Warning, L"Could not open the log file '" + options.logFile + L"'.");
  return parsed;
}

void CApp::ShowCommandLineHelp() {
  // Shown at every level: the user asked for it.
  const std::wstring caption = m_strings.GetText(L"SfxAppTitle");
  const std::wstring help = m_strings.GetText(L"SfxCommandLineHelp");
  kestlib::CBigMessageBox box(nullptr, caption.c_str(), nullptr, help.c_str(), kestlib::IconInformation, 0);
  box.AddButton(IDOK, m_strings.GetTextOr(L"OK", L"OK"), true);
  box.Run();
}

bool CApp::ReadConfiguration() {
  const std::wstring path = ModulePath();
  std::wstring text;
  const HRESULT hr = LocatePayload(path, text);
  if (FAILED(hr)) {
    const std::wstring message =
        hr == kInvalidData ? m_strings.GetText(L"SfxErrorBadArchive") : kestlib::SystemErrorText(hr) + L"\n\n" + path;
    kestlib::AfxMessageBox(message, MB_ICONERROR);
    return false;
  }
  m_config.Parse(text);

  m_productName = m_config.GetValue(ck::kMain, ck::kProductName, L"");
  // The product name is the caption of every message box from now on.
  SetAppName(m_productName);
  m_showLanguageDialog = m_config.GetInt(ck::kMain, ck::kShowUnzipLanguageDlg, 1) == 1;

  if (!m_extractOnly && m_config.GetInt(ck::kMain, ck::kExtractOnly, 0) != 0) {
    m_extractOnly = true;
    m_askTargetDir = true;
    if (m_extractDir.empty()) {
      const std::wstring dir = kestlib::ExpandPlaceholders(
          m_config.GetValue(ck::kMain, ck::kDefaultExtractDir, L"[PersonalFolder]"), kestlib::FolderMap());
      const DWORD attributes = GetFileAttributesW(dir.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) m_extractDir = dir;
    }
  }
  if (!m_extractOnly && m_uiLevel == UiNormal && m_config.GetInt(ck::kMain, ck::kSfxProgressVisible, 1) == 0)
    m_uiLevel = UiMinimal;
  return true;
}

bool CApp::ChooseLanguage() {
  const LanguageChoice choice = ScanLanguageSections(m_config, m_cmdCulture, UserDefaultCulture);
  // A failure to load has been shown by SetCulture; the run goes on with
  // the texts loaded before.
  if (!choice.found) {
    SetCulture(m_config.GetValue(L"main", L"Culture", L""));
    return true;
  }
  m_hasLanguageSections = true;
  SetCulture(choice.chosen);
  if (m_uiLevel == UiNormal && m_showLanguageDialog && m_cmdCulture.empty()) {
    CUnzipLanguageDlg dialog(nullptr, choice.names, choice.chosen, m_strings);
    const INT_PTR answer = dialog.DoModal();
    if (answer == -1) {
      // No window is no answer of the user's: the run goes on in the
      // language chosen for it, and fails where it needs a window.
      kestlib::WriteLog(kestlib::Severity::Warning, L"The language dialog could not be created: " +
                                                        kestlib::SystemErrorText(kestlib::HresultFromLastError()));
      return true;
    }
    if (answer != IDOK) return false;
    SetCulture(dialog.GetSelectedCulture());
  }
  return true;
}

bool CApp::CheckSetupFile() {
  if (!m_archivePath.empty()) return true;
  const std::wstring error = SetupFileError(ModulePath(), m_strings);
  if (error.empty()) return true;
  kestlib::AfxMessageBox(error, MB_ICONERROR);
  return false;
}

bool CApp::PrepareExtractDir() {
  if (m_extractOnly) {
    if (m_extractDir.empty())
      m_extractDir = CombinePath(CurrentDirectory(), BaseName(ModulePath()));
    else if (!IsAbsolutePath(m_extractDir))
      m_extractDir = CombinePath(CurrentDirectory(), m_extractDir);
    return true;
  }
  wchar_t temp[MAX_PATH] = {};
  if (GetTempPathW(MAX_PATH, temp) == 0) {
    const DWORD error = GetLastError();
    kestlib::AfxMessageBox(L"Could not get temp directory path.\n\n" + kestlib::SystemErrorText(static_cast<std::int32_t>(error)),
                           MB_ICONERROR);
    return false;
  }
  // Made here, not by the extraction: a folder prepared by someone else
  // could hold a DLL that the setup program would load.
  const HRESULT hr = CreateTempFolder(temp, SystemRandom, m_extractDir);
  if (FAILED(hr)) {
    kestlib::AfxMessageBox(L"Could not create a temporary folder.\n\n" + kestlib::SystemErrorText(hr) + L"\n\n" + temp,
                           MB_ICONERROR);
    return false;
  }
  return true;
}

std::wstring CApp::LanguageValue(const std::wstring& key, const std::wstring& defaultValue) const {
  return m_config.GetValue(ck::kLanguagePrefix + m_culture, key, m_config.GetValue(ck::kMain, key, defaultValue));
}

std::int32_t CApp::LanguageInt(const std::wstring& key, std::int32_t defaultValue) const {
  return m_config.GetInt(ck::kLanguagePrefix + m_culture, key, m_config.GetInt(ck::kMain, key, defaultValue));
}

std::int32_t CApp::RunExtraction() {
  RunSettings settings;
  settings.uiLevel = m_uiLevel;
  settings.productName = m_productName;
  settings.culture = m_culture;
  settings.archivePath = m_archivePath.empty() ? ModulePath() : m_archivePath;
  settings.extractDir = m_extractDir;
  if (!settings.extractDir.empty() && settings.extractDir.back() != L'\\') settings.extractDir += L'\\';
  settings.overwriteAnswer = m_overwriteAnswer;
  settings.extractOnly = m_extractOnly;
  settings.hasLanguageSections = m_hasLanguageSections;
  settings.askTargetDir = m_askTargetDir;
  settings.showLanguageDialog = m_showLanguageDialog;
  settings.callerSuppliesDataFile = m_callerSuppliesDataFile;

  settings.prettyProgress = m_config.GetInt(ck::kMain, ck::kSfxProgressPretty, 0) == 1;
  settings.forwardResourceData = m_config.GetInt(ck::kMain, ck::kForwardResourceData, 0) == 1;
  settings.setupShow = LanguageInt(ck::kSetupShow, 1);
  settings.setupFileName = LanguageValue(ck::kSetupFileName, ck::kDefaultSetupFileName);
  settings.setupParams = LanguageValue(ck::kSetupParams, L"");
  if (kestlib::RunsOn64BitWindows()) {
    const std::wstring name64 = LanguageValue(ck::kSetupFileName64, L"");
    if (!name64.empty()) settings.setupFileName = name64;
  }
  // Reading the folders takes dozens of shell calls, a tenth of the start;
  // most setups name none of them.
  if (NamesAFolder(settings.setupFileName) || NamesAFolder(settings.setupParams)) {
    const kestlib::PropertyMap folders = kestlib::FolderMap();
    settings.setupFileName = kestlib::ExpandPlaceholders(settings.setupFileName, folders);
    settings.setupParams = kestlib::ExpandPlaceholders(settings.setupParams, folders);
  }
  ReplaceAll(settings.setupFileName, L"[ExtractDir]", settings.extractDir);
  ReplaceAll(settings.setupParams, L"[ExtractDir]", settings.extractDir);
  return RunInstallation(settings, m_strings);
}
