#include "kestlib/FolderProperties.h"

#include <windows.h>

#include <shlobj.h>

#include "kestlib/SystemInfo.h"

namespace kestlib {
namespace {

// Both builds name the folders as Windows Installer does for a 32-bit
// package: the plain names are the 32-bit folders, which the 32-bit build
// gets under WOW64 and the 64-bit build must ask for by name.
#ifdef _WIN64
constexpr int kProgramFiles32 = CSIDL_PROGRAM_FILESX86;
constexpr int kCommonFiles32 = CSIDL_PROGRAM_FILES_COMMONX86;
#else
constexpr int kProgramFiles32 = CSIDL_PROGRAM_FILES;
constexpr int kCommonFiles32 = CSIDL_PROGRAM_FILES_COMMON;
#endif

std::map<std::wstring, FolderEntry> BuildTable() {
  const bool os64 = RunsOn64BitWindows();
  const FolderEntry none;
  std::map<std::wstring, FolderEntry> table = {
      {L"AdminToolsFolder", {CSIDL_COMMON_ADMINTOOLS, {}}},
      {L"AppDataFolder", {CSIDL_APPDATA, {}}},
      {L"CommonAppDataFolder", {CSIDL_COMMON_APPDATA, {}}},
      {L"CommonFilesFolder", {kCommonFiles32, {}}},
      {L"CommonFiles64Folder", os64 ? FolderEntry{-1, L"CommonProgramW6432"} : none},
      {L"DesktopFolder", {CSIDL_COMMON_DESKTOPDIRECTORY, {}}},
      {L"FavoritesFolder", {CSIDL_FAVORITES, {}}},
      {L"FontsFolder", {CSIDL_FONTS, {}}},
      {L"LocalAppDataFolder", {CSIDL_LOCAL_APPDATA, {}}},
      {L"MyPicturesFolder", {CSIDL_MYPICTURES, {}}},
      {L"PersonalFolder", {CSIDL_PERSONAL, {}}},
      {L"ProgramFilesFolder", {kProgramFiles32, {}}},
      {L"ProgramFiles64Folder", os64 ? FolderEntry{-1, L"ProgramW6432"} : none},
      {L"ProgramMenuFolder", {CSIDL_COMMON_PROGRAMS, {}}},
      {L"SendToFolder", {CSIDL_SENDTO, {}}},
      {L"StartMenuFolder", {CSIDL_COMMON_STARTMENU, {}}},
      {L"StartupFolder", {CSIDL_COMMON_STARTUP, {}}},
      {L"System16Folder", none},
      {L"System64Folder", none},
      {L"SystemFolder", none},
      {L"TempFolder", none},
      {L"TemplateFolder", {CSIDL_COMMON_TEMPLATES, {}}},
      {L"WindowsFolder", {CSIDL_WINDOWS, {}}},
      {L"WindowsVolume", none},
      {L"WIX_DIR_ADMINTOOLS", {CSIDL_ADMINTOOLS, {}}},
      {L"WIX_DIR_ALTSTARTUP", {CSIDL_ALTSTARTUP, {}}},
      {L"WIX_DIR_CDBURN_AREA", {CSIDL_CDBURN_AREA, {}}},
      {L"WIX_DIR_COMMON_ADMINTOOLS", {CSIDL_COMMON_ADMINTOOLS, {}}},
      {L"WIX_DIR_COMMON_ALTSTARTUP", {CSIDL_COMMON_ALTSTARTUP, {}}},
      {L"WIX_DIR_COMMON_DOCUMENTS", {CSIDL_COMMON_DOCUMENTS, {}}},
      {L"WIX_DIR_COMMON_FAVORITES", {CSIDL_COMMON_FAVORITES, {}}},
      {L"WIX_DIR_COMMON_MUSIC", {CSIDL_COMMON_MUSIC, {}}},
      {L"WIX_DIR_COMMON_PICTURES", {CSIDL_COMMON_PICTURES, {}}},
      {L"WIX_DIR_COMMON_VIDEO", {CSIDL_COMMON_VIDEO, {}}},
      {L"WIX_DIR_COOKIES", {CSIDL_COOKIES, {}}},
      {L"WIX_DIR_DESKTOP", {CSIDL_DESKTOP, {}}},
      {L"WIX_DIR_HISTORY", {CSIDL_HISTORY, {}}},
      {L"WIX_DIR_INTERNET_CACHE", {CSIDL_INTERNET_CACHE, {}}},
      {L"WIX_DIR_MYMUSIC", {CSIDL_MYMUSIC, {}}},
      {L"WIX_DIR_MYPICTURES", {CSIDL_MYPICTURES, {}}},
      {L"WIX_DIR_MYVIDEO", {CSIDL_MYVIDEO, {}}},
      {L"WIX_DIR_NETHOOD", {CSIDL_NETHOOD, {}}},
      {L"WIX_DIR_PERSONAL", {CSIDL_PERSONAL, {}}},
      {L"WIX_DIR_PRINTHOOD", {CSIDL_PRINTHOOD, {}}},
      {L"WIX_DIR_PROFILE", {CSIDL_PROFILE, {}}},
      {L"WIX_DIR_RECENT", {CSIDL_RECENT, {}}},
      {L"WIX_DIR_RESOURCES", {CSIDL_RESOURCES, {}}},
  };
  // The 32-bit folders on 32-bit Windows, the 64-bit ones on 64-bit Windows.
  table[L"ProgramFiles6432Folder"] = table[os64 ? L"ProgramFiles64Folder" : L"ProgramFilesFolder"];
  table[L"CommonFiles6432Folder"] = table[os64 ? L"CommonFiles64Folder" : L"CommonFilesFolder"];
  return table;
}

std::wstring EnvironmentValue(const std::wstring& name) {
  const DWORD size = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
  if (size == 0) return std::wstring();
  std::wstring value(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(name.c_str(), value.data(), size);
  value.resize(length < size ? length : 0);
  return value;
}

std::wstring TempFolder() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetTempPathW(MAX_PATH, path);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  wchar_t longPath[MAX_PATH] = {};
  const DWORD longLength = GetLongPathNameW(path, longPath, MAX_PATH);
  return longLength > 0 && longLength < MAX_PATH ? std::wstring(longPath, longLength) : std::wstring(path, length);
}

}  // namespace

const std::map<std::wstring, FolderEntry>& FolderProperties() {
  static const std::map<std::wstring, FolderEntry> table = BuildTable();
  return table;
}

std::wstring FolderPath(const std::wstring& name, bool create) {
  const auto& table = FolderProperties();
  const auto found = table.find(name);
  if (found == table.end()) return std::wstring();
  const FolderEntry& entry = found->second;
  if (entry.csidl != -1) {
    wchar_t path[MAX_PATH] = {};
    const int flags = entry.csidl | (create ? CSIDL_FLAG_CREATE : 0);
    return SUCCEEDED(SHGetFolderPathW(nullptr, flags, nullptr, SHGFP_TYPE_CURRENT, path)) ? std::wstring(path)
                                                                                          : std::wstring();
  }
  if (!entry.environment.empty()) return EnvironmentValue(entry.environment);
  if (name == L"TempFolder") return TempFolder();
  if (name == L"SystemFolder") return SystemFolder();
  return std::wstring();
}

std::map<std::wstring, std::wstring> FolderMap() {
  std::map<std::wstring, std::wstring> folders;
  for (const auto& [name, entry] : FolderProperties()) folders.emplace(name, FolderPath(name, false));
  return folders;
}

}  // namespace kestlib
