// The sections and keys that the installer reads from its configuration,
// named once here so that the stub and sfxpack's check cannot drift.
#pragma once

#include <array>

namespace configkeys {

inline constexpr wchar_t kMain[] = L"main";
// A section "LANG_" plus a culture code holds one language's settings.
inline constexpr wchar_t kLanguagePrefix[] = L"LANG_";

inline constexpr wchar_t kProductName[] = L"ProductName";
inline constexpr wchar_t kShowUnzipLanguageDlg[] = L"ShowUnzipLanguageDlg";
inline constexpr wchar_t kExtractOnly[] = L"ExtractOnly";
inline constexpr wchar_t kDefaultExtractDir[] = L"DefaultExtractDir";
inline constexpr wchar_t kSfxProgressVisible[] = L"SfxProgressVisible";
inline constexpr wchar_t kCulture[] = L"Culture";
inline constexpr wchar_t kSfxProgressPretty[] = L"SfxProgressPretty";
inline constexpr wchar_t kForwardResourceData[] = L"ForwardResourceDataFromSFX";
inline constexpr wchar_t kSetupShow[] = L"SetupShow";
inline constexpr wchar_t kSetupFileName[] = L"SetupFileName";
inline constexpr wchar_t kSetupFileName64[] = L"SetupFileName64";
inline constexpr wchar_t kSetupParams[] = L"SetupParams";
inline constexpr wchar_t kProgressTitle[] = L"ProgressTitle";
inline constexpr wchar_t kProgressText[] = L"ProgressText";
inline constexpr wchar_t kStartSetup[] = L"StartSetup";

inline constexpr wchar_t kDefaultSetupFileName[] = L"setup.exe";

inline constexpr std::array<const wchar_t*, 12> kMainKeys = {
    kProductName,       kShowUnzipLanguageDlg, kExtractOnly,         kDefaultExtractDir,
    kSfxProgressVisible, kCulture,             kSfxProgressPretty,   kForwardResourceData,
    kSetupShow,         kSetupFileName,        kSetupFileName64,     kSetupParams};

inline constexpr std::array<const wchar_t*, 8> kLanguageKeys = {
    kProductName, kProgressTitle, kProgressText,    kStartSetup,
    kSetupShow,   kSetupFileName, kSetupFileName64, kSetupParams};

}  // namespace configkeys
