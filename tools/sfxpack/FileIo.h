// Files as sfxpack uses them: inputs read with messages that name the file
// and its role, and an output that appears only when it is complete.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "core/pe/PeChecksum.h"

namespace sfxpack {

// The path in UTF-8 between double quotes, for messages.
std::string Quoted(const std::filesystem::path& path);

// The size of an existing regular file; the role ("stub", "archive") names
// the file in the message when it is missing or not a file.
std::uint64_t InputFileSize(const std::filesystem::path& path, const std::string& role);

// The first bytes of a file, at most limit of them.
std::vector<std::uint8_t> ReadFilePrefix(const std::filesystem::path& path, std::uint64_t limit,
                                         const std::string& role);

// The last size bytes of a file of at least that many bytes.
std::vector<std::uint8_t> ReadFileSuffix(const std::filesystem::path& path, std::uint64_t size,
                                         const std::string& role);

// size bytes of a file from offset on.
std::vector<std::uint8_t> ReadFileRange(const std::filesystem::path& path, std::uint64_t offset,
                                        std::uint64_t size, const std::string& role);

// Whether two paths name one file: the same existing file, or the same
// absolute path once normalized.
bool SamePath(const std::filesystem::path& a, const std::filesystem::path& b);

// The value of an environment variable in UTF-8; nothing when it is unset
// or empty.
std::optional<std::string> EnvironmentValue(const char* name);

// Whether the process's standard error goes to a terminal.
bool StderrIsTerminal();

// The folder for sfxpack's temporary files; throws PackError naming it
// when it cannot serve.
std::filesystem::path TemporaryFolder();

// Sixteen random hexadecimal digits, for names of temporary files.
std::string RandomName();

// Removes a file when it goes out of scope, unless released.
class RemoveOnExit {
 public:
  explicit RemoveOnExit(std::filesystem::path path) : path_(std::move(path)) {}
  ~RemoveOnExit();
  RemoveOnExit(const RemoveOnExit&) = delete;
  RemoveOnExit& operator=(const RemoveOnExit&) = delete;
  const std::filesystem::path& path() const { return path_; }
  void Release() { armed_ = false; }

 private:
  std::filesystem::path path_;
  bool armed_ = true;
};

// Removes a folder and everything in it when it goes out of scope.
class RemoveTreeOnExit {
 public:
  explicit RemoveTreeOnExit(std::filesystem::path path) : path_(std::move(path)) {}
  ~RemoveTreeOnExit();
  RemoveTreeOnExit(const RemoveTreeOnExit&) = delete;
  RemoveTreeOnExit& operator=(const RemoveTreeOnExit&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// A file written under a temporary name in the target's folder and renamed
// over the target by Commit; on any other way out the temporary goes away.
// A link as target is followed; a target that exists and is no regular
// file is refused; a replaced file's permissions stay.
class PendingFile {
 public:
  explicit PendingFile(const std::filesystem::path& target);
  void Write(const std::uint8_t* data, std::size_t size);
  // Copies exactly size bytes of source from offset on.
  void Append(const std::filesystem::path& source, std::uint64_t size, const std::string& role,
              std::uint64_t offset = 0);
  std::uint64_t written() const { return written_; }
  // Makes the file a copy of source, through the system's own copy (in the
  // kernel where it can), to be edited in place before Commit; nothing more
  // can be written through this object. Returns the file's temporary path.
  const std::filesystem::path& CopyOf(const std::filesystem::path& source, const std::string& role);
  // Replaces bytes already written, leaving the checksum as it was.
  void Patch(std::uint64_t offset, const std::uint8_t* data, std::size_t size);
  // The PE checksum of the bytes written, for the installer's header.
  const kestlib::PeChecksum& checksum() const { return checksum_; }
  void Commit();

 private:
  void CheckStream();

  std::filesystem::path target_;
  RemoveOnExit temp_;  // declared before out_: the stream closes before the file goes
  std::ofstream out_;
  std::uint64_t written_ = 0;
  kestlib::PeChecksum checksum_;
};

// An existing file opened for editing in place; every failure throws
// PackError naming the file and the system's reason.
class FileEditor {
 public:
  explicit FileEditor(const std::filesystem::path& path);
  ~FileEditor();
  FileEditor(const FileEditor&) = delete;
  FileEditor& operator=(const FileEditor&) = delete;
  // Makes the file size bytes long, with the space allocated, when it is
  // shorter: a full disk fails here, before any byte is changed.
  void Reserve(std::uint64_t size);
  void Write(std::uint64_t offset, const std::uint8_t* data, std::size_t size);
  void Resize(std::uint64_t size);
  // Waits until the data is on the disk.
  void Sync();

 private:
  [[noreturn]] void Fail(const std::string& what, int error) const;

  std::filesystem::path path_;
#ifdef _WIN32
  void* handle_;
#else
  int fd_;
#endif
};

}  // namespace sfxpack
