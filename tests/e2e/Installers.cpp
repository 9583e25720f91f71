#include "Installers.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>

#include "ProcessDriver.h"
#include "kestlib/io/Utf8.h"

namespace testsupport {

void PackInstaller(const std::filesystem::path& stub, const std::string& config,
                   const std::filesystem::path& output, const std::filesystem::path& archive,
                   const std::wstring& options) {
  std::filesystem::path configPath = output;
  configPath += L".config.txt";
  std::ofstream(configPath, std::ios::binary) << config;
  std::string log;
  const long code = RunToEnd(Quoted(SETUPSFX_SFXPACK) + L" build --stub " + Quoted(stub.wstring()) + L" --config " +
                                 Quoted(configPath.wstring()) + L" --archive " + Quoted(archive.wstring()) +
                                 L" --output " + Quoted(output.wstring()) + L" " + options,
                             kTimeLimit, &log);
  ASSERT_EQ(code, 0) << log;
}

ScopedVariable::ScopedVariable(const wchar_t* name, const wchar_t* value) : m_name(name) {
  const DWORD length = GetEnvironmentVariableW(name, nullptr, 0);
  if (length > 0) {
    std::wstring old(length, L'\0');
    old.resize(GetEnvironmentVariableW(name, old.data(), length));
    m_old = old;
  }
  SetEnvironmentVariableW(name, value);
}

ScopedVariable::~ScopedVariable() { SetEnvironmentVariableW(m_name.c_str(), m_old ? m_old->c_str() : nullptr); }

PrivateTempFolder::PrivateTempFolder(const std::filesystem::path& folder)
    : m_folder(folder), m_tmp(L"TMP", folder.c_str()), m_temp(L"TEMP", folder.c_str()) {
  std::filesystem::create_directories(m_folder);
}

std::set<std::wstring> PrivateTempFolder::RunFolders() const {
  std::set<std::wstring> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(m_folder, error)) {
    const std::wstring name = entry.path().filename().wstring();
    if (name.rfind(L"hlv", 0) == 0) names.insert(name);
  }
  return names;
}

std::map<std::string, std::string> ReadProbe(const std::filesystem::path& file) {
  std::map<std::string, std::string> fields;
  std::ifstream in(file, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t eq = line.find('=');
    if (eq != std::string::npos) fields[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return fields;
}

std::string Utf8(const std::filesystem::path& path) { return kestlib::Utf8FromWide(path.wstring()); }

}  // namespace testsupport
