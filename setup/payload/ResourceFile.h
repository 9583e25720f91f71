// Reading an executable file on disk as data: never loaded as a program.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/pe/PeImage.h"
#include "kestlib/Holders.h"

// Opens an existing file for reading with read sharing. A sharing
// violation is tried again, up to five attempts, each after 250 ms.
HRESULT OpenFileWithRetry(const std::wstring& path, kestlib::UniqueFile& file);

// How an executable file is opened.
enum class OpenAttempts {
  // One plain open: the file was opened moments ago, nothing holds it.
  Once,
  // OpenFileWithRetry: right after a download a scanner may hold the file.
  RetryWhileHeld,
};

// An executable file held open for reading: its size, its first
// kImageWindow bytes mapped read-only and its PE headers parsed. Every
// reader of the installer's image goes through Open, so all of them agree
// on what counts as an executable.
class ExecutableFile {
 public:
  // How much of the file is mapped: the image with its resources lies at
  // the start of the file; the archive behind it is never needed.
  static constexpr std::uint64_t kImageWindow = 100 * 1024 * 1024;
  // The PE headers must lie within the first MiB; a header further on is
  // not looked for.
  static constexpr std::uint64_t kHeadersReach = 1024 * 1024;

  // S_OK for a PE image; 0x80070714 (ERROR_RESOURCE_DATA_NOT_FOUND) for a
  // file shorter than two bytes or without "MZ"; 0x800700C1
  // (ERROR_BAD_EXE_FORMAT) when the PE headers do not parse, peError()
  // telling how; the system's error when the file cannot be opened, sized
  // or mapped.
  HRESULT Open(const std::wstring& path, OpenAttempts attempts);

  HANDLE handle() const { return m_file.get(); }
  std::uint64_t size() const { return m_size; }
  const kestlib::PeImage& image() const { return m_image; }
  kestlib::PeError peError() const { return m_peError; }

  // The bytes of the resource of the given type id and name (ASCII letters
  // compared without case); the system's resource lookup error when there
  // is none.
  HRESULT ReadResource(std::uint16_t type, const std::wstring& name, std::vector<std::uint8_t>& bytes) const;
  // The string names of the resources of the type id, in directory order.
  std::vector<std::u16string> ResourceNames(std::uint16_t type) const;

 private:
  kestlib::UniqueFile m_file;
  kestlib::MappedView m_view;
  std::uint64_t m_size = 0;
  kestlib::PeImage m_image;
  kestlib::PeError m_peError = kestlib::PeError::NoDosHeader;
};

// The bytes of the resource of the given type id and name, from the file
// opened with OpenFileWithRetry. 0x80070714 when the file does not begin
// with "MZ"; the system's resource lookup error when there is no such
// resource.
HRESULT ReadResourceFromFile(const std::wstring& path, std::uint16_t type, const std::wstring& name,
                             std::vector<std::uint8_t>& bytes);
