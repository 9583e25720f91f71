// Stands in for the installation in a test build of the stub: it writes the
// settings that start-up settled to the file named by SETUPSFX_PROBE_OUT,
// one "field=value" line each, two texts of the loaded culture and the
// folder properties, in UTF-8, and ends with 0.
#include <windows.h>

#include <fstream>
#include <string>

#include "kestlib/FolderProperties.h"
#include "kestlib/io/Utf8.h"
#include "setup/startup/Installation.h"

std::int32_t RunInstallation(const RunSettings& s, const kestlib::IStringResources& strings) {
  wchar_t path[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"SETUPSFX_PROBE_OUT", path, MAX_PATH) == 0) return 0;
  std::ofstream out(path, std::ios::binary);
  const auto line = [&out](const char* name, const std::wstring& value) {
    out << name << '=' << kestlib::Utf8FromWide(value) << '\n';
  };
  const auto number = [&line](const char* name, long long value) { line(name, std::to_wstring(value)); };
  number("uiLevel", s.uiLevel);
  line("productName", s.productName);
  line("culture", s.culture);
  line("archivePath", s.archivePath);
  line("extractDir", s.extractDir);
  line("setupFileName", s.setupFileName);
  line("setupParams", s.setupParams);
  number("overwriteAnswer", s.overwriteAnswer);
  number("setupShow", s.setupShow);
  number("prettyProgress", s.prettyProgress);
  number("extractOnly", s.extractOnly);
  number("hasLanguageSections", s.hasLanguageSections);
  number("askTargetDir", s.askTargetDir);
  number("showLanguageDialog", s.showLanguageDialog);
  number("callerSuppliesDataFile", s.callerSuppliesDataFile);
  number("forwardResourceData", s.forwardResourceData);
  // Texts of the loaded culture: one from its table, one it may override.
  line("cancelText", strings.GetText(L"Cancel"));
  line("startSetupText", strings.GetText(L"StartSetup"));
  // Every folder property, for comparing the two builds of the stub.
  for (const auto& [name, folder] : kestlib::FolderMap())
    out << "folder." << kestlib::Utf8FromWide(name) << '=' << kestlib::Utf8FromWide(folder) << '\n';
  return 0;
}
