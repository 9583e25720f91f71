// The sample's setup program: stands in for a product's real setup. It
// writes what it was handed (command line, arguments, working folder, the
// files beside it and the forwarded values) to the file named by
// SAMPLE_SETUP_REPORT and exits with SAMPLE_SETUP_EXIT_CODE (default 0).
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;

std::wstring Environment(const wchar_t* name) {
  wchar_t value[32768] = {};
  const DWORD length = GetEnvironmentVariableW(name, value, 32768);
  return length > 0 && length < 32768 ? std::wstring(value, length) : std::wstring();
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                       nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  return bytes;
}

void Report(const fs::path& reportFile) {
  std::ofstream report(reportFile, std::ios::binary | std::ios::trunc);
  report << "command line: " << Utf8(GetCommandLineW()) << "\n";
  std::error_code error;
  report << "working folder: " << Utf8(fs::current_path(error).wstring()) << "\n";

  wchar_t module[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  const fs::path folder = fs::path(module).parent_path();
  report << "program: " << Utf8(module) << "\n";
  for (const auto& entry : fs::directory_iterator(folder, error))
    report << "beside it: " << Utf8(entry.path().filename().wstring()) << "\n";

  int count = 0;
  const std::unique_ptr<LPWSTR, decltype(&LocalFree)> owner(CommandLineToArgvW(GetCommandLineW(), &count),
                                                            &LocalFree);
  LPWSTR* arguments = owner.get();
  if (!arguments) return;
  std::wstring valuesFile;
  for (int i = 1; i < count; ++i) {
    report << "argument: " << Utf8(arguments[i]) << "\n";
    if (std::wstring(arguments[i]) == L"-m" && i + 1 < count) valuesFile = arguments[i + 1];
  }
  // The forwarded values: read now, while the installer's folder exists.
  if (!valuesFile.empty()) {
    std::ifstream values(fs::path(valuesFile), std::ios::binary);
    if (!values) report << "values file: missing\n";
    for (std::string line; std::getline(values, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      report << "value: " << line << "\n";
    }
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  const std::wstring reportFile = Environment(L"SAMPLE_SETUP_REPORT");
  if (!reportFile.empty()) Report(reportFile);
  // Any 32-bit value, also negative ones, in decimal or with 0x.
  const std::wstring exitCode = Environment(L"SAMPLE_SETUP_EXIT_CODE");
  return static_cast<int>(static_cast<unsigned long>(std::wcstoll(exitCode.c_str(), nullptr, 0)));
}
