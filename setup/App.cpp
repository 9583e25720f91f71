#include "App.h"

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <clocale>
#include <cstdlib>
#include <ctime>

#include "PayloadLocator.h"
#include "SetupPaths.h"
#include "kestlib/ErrorText.h"

namespace {

constexpr HRESULT kInvalidData = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

// Shown until the localized string tables arrive.
constexpr wchar_t kBadArchiveText[] =
    L"The setup file is corrupted. If you downloaded this file from the internet, please download it again.";

}  // namespace

CApp::CApp() : CWinApp(L"Setup Self-Extractor") {}

BOOL CApp::InitInstance() {
  // The user's locale governs case-insensitive comparisons and blank tests.
  std::setlocale(LC_ALL, "");
  std::srand(static_cast<unsigned>(std::time(nullptr)) ^ static_cast<unsigned>(GetCurrentProcessId()));

  INITCOMMONCONTROLSEX controls = {sizeof(controls), 0xFF};
  InitCommonControlsEx(&controls);
  CWinApp::InitInstance();
  CoInitialize(nullptr);

  if (!ReadConfiguration()) {
    m_exitCode = ExitPreparationFailed;
    return FALSE;
  }
  if (!PrepareExtractDir()) {
    m_exitCode = ExitPreparationFailed;
    return FALSE;
  }
  m_exitCode = RunExtraction();
  return FALSE;
}

int CApp::ExitInstance() {
  CoUninitialize();
  CWinApp::ExitInstance();
  return m_exitCode;
}

bool CApp::ReadConfiguration() {
  const std::wstring path = ModulePath();
  std::wstring text;
  const HRESULT hr = LocatePayload(path, text);
  if (FAILED(hr)) {
    const std::wstring message =
        hr == kInvalidData ? std::wstring(kBadArchiveText) : kestlib::SystemErrorText(hr) + L"\n\n" + path;
    kestlib::AfxMessageBox(message, MB_ICONERROR);
    return false;
  }
  m_config.Parse(text);

  m_productName = m_config.GetValue(L"main", L"ProductName", L"");
  // The product name is the caption of every message box from now on.
  SetAppName(m_productName);
  m_showLanguageDialog = m_config.GetInt(L"main", L"ShowUnzipLanguageDlg", 1) == 1;

  if (!m_extractOnly && m_config.GetInt(L"main", L"ExtractOnly", 0) != 0) {
    m_extractOnly = true;
    m_askTargetDir = true;
    if (m_extractDir.empty()) {
      const std::wstring dir = m_config.GetValue(L"main", L"DefaultExtractDir", L"[PersonalFolder]");
      const DWORD attributes = GetFileAttributesW(dir.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) m_extractDir = dir;
    }
  }
  if (!m_extractOnly && m_uiLevel == UiNormal && m_config.GetInt(L"main", L"SfxProgressVisible", 1) == 0)
    m_uiLevel = UiMinimal;
  return true;
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
  m_extractDir = CombinePath(temp, MakeTempFolderName());
  return true;
}

std::int32_t CApp::RunExtraction() {
  // The folder is settled; the progress dialog that extracts into it and
  // starts the setup takes over here.
  return 0;
}

std::wstring CApp::MakeTempFolderName() const {
  static constexpr wchar_t kAlphabet[] = L"abcdefghijklmnopqrstuvwxyz0123456789";
  std::wstring name = L"hlv";
  for (int i = 0; i < 8; ++i) name += kAlphabet[std::rand() % 36];
  return name;
}
