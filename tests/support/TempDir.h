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
    // In the long form, for the deep trees tests make; read-only files,
    // which tests make too, would stop the removal.
    const std::filesystem::path whole(L"\\\\?\\" + m_path.wstring());
    std::error_code ignored;
    for (std::filesystem::recursive_directory_iterator it(whole, ignored), end; !ignored && it != end;
         it.increment(ignored))
      SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
    std::filesystem::remove_all(whole, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return m_path; }
  std::filesystem::path operator/(const std::wstring& name) const { return m_path / name; }

 private:
  std::filesystem::path m_path;
};

}  // namespace testsupport
