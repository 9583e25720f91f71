// A fresh folder under the temporary path, removed with its contents.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

namespace testsupport {

class TempDir {
 public:
  TempDir() {
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    for (unsigned n = GetTickCount() ^ GetCurrentProcessId();; ++n) {
      m_path = std::filesystem::path(base) / (L"sfxtest" + std::to_wstring(n));
      if (CreateDirectoryW(m_path.c_str(), nullptr)) break;
    }
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return m_path; }
  std::filesystem::path operator/(const std::wstring& name) const { return m_path / name; }

 private:
  std::filesystem::path m_path;
};

}  // namespace testsupport
