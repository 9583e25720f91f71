#include "Installers.h"

#include <gtest/gtest.h>

#include <fstream>

#include "ProcessDriver.h"
#include "kestlib/io/Utf8.h"

namespace testsupport {

void PackInstaller(const std::filesystem::path& stub, const std::string& config,
                   const std::filesystem::path& output, const std::filesystem::path& archive) {
  std::filesystem::path configPath = output;
  configPath += L".config.txt";
  std::ofstream(configPath, std::ios::binary) << config;
  std::string log;
  const long code = RunToEnd(Quoted(SETUPSFX_SFXPACK) + L" build --stub " + Quoted(stub.wstring()) + L" --config " +
                                 Quoted(configPath.wstring()) + L" --archive " + Quoted(archive.wstring()) +
                                 L" --output " + Quoted(output.wstring()),
                             kTimeLimit, &log);
  ASSERT_EQ(code, 0) << log;
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
