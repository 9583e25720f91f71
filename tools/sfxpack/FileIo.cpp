#include "FileIo.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <system_error>

#include "Errors.h"
#include "Interrupts.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace sfxpack {
namespace {

constexpr std::size_t kCopyChunk = 1 << 20;

fs::path TempPathBeside(const fs::path& target) {
  fs::path name = target.filename();
  name += "." + RandomName() + ".tmp";
  return target.parent_path() / name;
}

// The file that path finally names: links followed, also to a target that
// does not exist yet, so that a link stays a link.
fs::path FollowLinks(const fs::path& path) {
  fs::path current = path;
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(current, ec))) return current;
    const fs::path target = fs::read_symlink(current, ec);
    if (ec) throw PackError("cannot read the link " + Quoted(current) + ": " + ec.message());
    current = target.is_absolute() ? target : current.parent_path() / target;
  }
  throw PackError("output " + Quoted(path) + " is a loop of links");
}

}  // namespace

std::string Quoted(const fs::path& path) { return "\"" + path.u8string() + "\""; }

std::uint64_t InputFileSize(const fs::path& path, const std::string& role) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (ec == std::errc::too_many_symbolic_link_levels)
    throw PackError(role + " " + Quoted(path) + " is a loop of symbolic links; point it at a file");
  if (!fs::exists(status)) throw PackError(role + " " + Quoted(path) + " does not exist");
  if (!fs::is_regular_file(status)) throw PackError(role + " " + Quoted(path) + " is not a file");
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec)
    throw PackError("cannot read the size of " + role + " " + Quoted(path) + ": " + ec.message());
  return size;
}

std::vector<std::uint8_t> ReadFilePrefix(const fs::path& path, std::uint64_t limit,
                                         const std::string& role) {
  const std::uint64_t size = std::min(InputFileSize(path, role), limit);
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size)))
    throw PackError("cannot read " + role + " " + Quoted(path));
  return bytes;
}

std::vector<std::uint8_t> ReadFileSuffix(const fs::path& path, std::uint64_t size,
                                         const std::string& role) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  if (!in.seekg(-static_cast<std::streamoff>(size), std::ios::end) ||
      !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size)))
    throw PackError("cannot read the end of " + role + " " + Quoted(path));
  return bytes;
}

std::vector<std::uint8_t> ReadFileRange(const fs::path& path, std::uint64_t offset, std::uint64_t size,
                                        const std::string& role) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  if (!in.seekg(static_cast<std::streamoff>(offset)) ||
      !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size)))
    throw PackError("cannot read " + role + " " + Quoted(path));
  return bytes;
}

bool SamePath(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  if (fs::equivalent(a, b, ec)) return true;
  const fs::path normalA = fs::absolute(a, ec).lexically_normal();
  const fs::path normalB = fs::absolute(b, ec).lexically_normal();
  return normalA == normalB;
}

std::optional<std::string> EnvironmentValue(const char* name) {
#ifdef _WIN32
  const wchar_t* value = _wgetenv(fs::path(name).c_str());
  if (!value || !*value) return std::nullopt;
  return fs::path(value).u8string();
#else
  const char* value = std::getenv(name);
  if (!value || !*value) return std::nullopt;
  return std::string(value);
#endif
}

bool StderrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

std::string RandomName() {
  std::random_device random;
  char text[17];
  std::snprintf(text, sizeof text, "%08x%08x", static_cast<unsigned>(random()),
                static_cast<unsigned>(random()));
  return text;
}

RemoveOnExit::~RemoveOnExit() {
  std::error_code ignored;  // nothing more to do about a file that cannot be removed
  if (armed_) fs::remove(path_, ignored);
}

RemoveTreeOnExit::~RemoveTreeOnExit() {
  std::error_code ignored;  // as above
  fs::remove_all(path_, ignored);
}

PendingFile::PendingFile(const fs::path& target)
    : target_(FollowLinks(target)), temp_(TempPathBeside(target_)) {
  std::error_code ec;
  const fs::file_status status = fs::status(target_, ec);
  if (fs::is_directory(status)) throw PackError("output " + Quoted(target) + " is a folder");
  // Renaming over a device or a pipe would put a file in its place.
  if (fs::exists(status) && !fs::is_regular_file(status))
    throw PackError("output " + Quoted(target) + " is not a regular file (a device, pipe or socket)");
  const fs::path folder = target_.parent_path().empty() ? fs::path(".") : target_.parent_path();
  if (!fs::is_directory(folder, ec))
    throw PackError("the output folder " + Quoted(folder) + " does not exist");
  out_.open(temp_.path(), std::ios::binary | std::ios::trunc);
  if (!out_) throw PackError("cannot create a file in the output folder " + Quoted(folder));
}

void PendingFile::CheckStream() {
  if (!out_) throw PackError("cannot write " + Quoted(temp_.path()) + " (is the disk full?)");
}

void PendingFile::Write(const std::uint8_t* data, std::size_t size) {
  out_.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  CheckStream();
  checksum_.Add(data, size);
  written_ += size;
}

void PendingFile::Patch(std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
  out_.seekp(static_cast<std::streamoff>(offset));
  out_.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  out_.seekp(0, std::ios::end);
  CheckStream();
}

void PendingFile::Append(const fs::path& source, std::uint64_t size, const std::string& role,
                         std::uint64_t offset) {
  std::ifstream in(source, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  std::vector<char> chunk(kCopyChunk);
  for (std::uint64_t left = size; left > 0;) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, chunk.size()));
    CheckInterrupt();
    if (!in.read(chunk.data(), static_cast<std::streamsize>(n)))
      throw PackError(role + " " + Quoted(source) + " changed or could not be read while copying");
    Write(reinterpret_cast<const std::uint8_t*>(chunk.data()), n);
    left -= n;
  }
}

namespace {

#ifndef _WIN32
class UniqueFd {
 public:
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() {
    if (fd_ >= 0) close(fd_);
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// The whole file copied inside the kernel, as cp does; false where the
// file system cannot, with nothing copied. what names the copy.
bool KernelCopy(const fs::path& source, const fs::path& target, const std::string& what) {
  const UniqueFd in(open(source.c_str(), O_RDONLY | O_CLOEXEC));
  // No O_TRUNC: the file is new and empty, and ext4 flushes a truncated
  // file's data when it is closed.
  const UniqueFd out(open(target.c_str(), O_WRONLY | O_CLOEXEC));
  if (in.get() < 0 || out.get() < 0) return false;
  for (bool first = true;; first = false) {
    const ssize_t copied = copy_file_range(in.get(), nullptr, out.get(), nullptr, 1 << 30, 0);
    if (copied == 0) return true;
    if (copied < 0) {
      if (first) return false;
      throw PackError(what + std::generic_category().message(errno));
    }
    CheckInterrupt();
  }
}
#endif

}  // namespace

const fs::path& PendingFile::CopyOf(const fs::path& source, const std::string& role) {
  out_.close();
  CheckStream();
  // The output is named too: a full disk there is the usual cause.
  const std::string what = "cannot copy " + role + " " + Quoted(source) + " to the output " + Quoted(target_) + ": ";
#ifdef _WIN32
  // The system's copy; MinGW's copy_file cannot replace the empty file.
  if (!CopyFileW(source.c_str(), temp_.path().c_str(), FALSE))
    throw PackError(what + std::system_category().message(static_cast<int>(GetLastError())));
#else
  if (!KernelCopy(source, temp_.path(), what)) {
    std::error_code ec;
    fs::copy_file(source, temp_.path(), fs::copy_options::overwrite_existing, ec);
    if (ec) throw PackError(what + ec.message());
  }
#endif
  CheckInterrupt();
  written_ = fs::file_size(temp_.path());
  return temp_.path();
}

void PendingFile::Commit() {
  CheckInterrupt();
  if (out_.is_open()) {
    out_.close();
    CheckStream();
  }
  std::error_code ec;
  // The replaced file keeps its permissions.
  const fs::file_status old = fs::status(target_, ec);
  if (fs::is_regular_file(old)) fs::permissions(temp_.path(), old.permissions(), ec);
  fs::rename(temp_.path(), target_, ec);
  if (ec) throw PackError("cannot replace " + Quoted(target_) + ": " + ec.message());
  temp_.Release();
}

#ifdef _WIN32
FileEditor::FileEditor(const fs::path& path)
    : path_(path),
      handle_(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr)) {
  if (handle_ == INVALID_HANDLE_VALUE) Fail("cannot open", static_cast<int>(GetLastError()));
}

FileEditor::~FileEditor() { CloseHandle(handle_); }

void FileEditor::Fail(const std::string& what, int error) const {
  throw PackError(what + " " + Quoted(path_) + ": " + std::system_category().message(error));
}

void FileEditor::Reserve(std::uint64_t size) {
  LARGE_INTEGER current;
  if (!GetFileSizeEx(handle_, &current)) Fail("cannot read the size of", static_cast<int>(GetLastError()));
  // A longer end of file is allocated at once: Windows files are not sparse unless asked.
  if (static_cast<std::uint64_t>(current.QuadPart) < size) Resize(size);
}

void FileEditor::Write(std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
  for (std::size_t done = 0; done < size;) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset + done);
    at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
    DWORD written = 0;
    const DWORD part = static_cast<DWORD>(std::min<std::size_t>(size - done, 1 << 30));
    if (!WriteFile(handle_, data + done, part, &written, &at) || written == 0)
      Fail("cannot write", static_cast<int>(GetLastError()));
    done += written;
  }
}

void FileEditor::Resize(std::uint64_t size) {
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(size);
  if (!SetFilePointerEx(handle_, end, nullptr, FILE_BEGIN) || !SetEndOfFile(handle_))
    Fail("cannot change the size of", static_cast<int>(GetLastError()));
}

void FileEditor::Sync() {
  if (!FlushFileBuffers(handle_)) Fail("cannot write", static_cast<int>(GetLastError()));
}
#else
FileEditor::FileEditor(const fs::path& path) : path_(path), fd_(open(path.c_str(), O_RDWR | O_CLOEXEC)) {
  if (fd_ < 0) Fail("cannot open", errno);
}

FileEditor::~FileEditor() { close(fd_); }

void FileEditor::Fail(const std::string& what, int error) const {
  throw PackError(what + " " + Quoted(path_) + ": " + std::generic_category().message(error));
}

void FileEditor::Reserve(std::uint64_t size) {
  struct stat status;
  if (fstat(fd_, &status) != 0) Fail("cannot read the size of", errno);
  if (static_cast<std::uint64_t>(status.st_size) >= size) return;
  if (const int error = posix_fallocate(fd_, 0, static_cast<off_t>(size))) Fail("cannot make room in", error);
}

void FileEditor::Write(std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
  for (std::size_t done = 0; done < size;) {
    const ssize_t written = pwrite(fd_, data + done, size - done, static_cast<off_t>(offset + done));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) Fail("cannot write", written < 0 ? errno : ENOSPC);
    done += static_cast<std::size_t>(written);
  }
}

void FileEditor::Resize(std::uint64_t size) {
  if (ftruncate(fd_, static_cast<off_t>(size)) != 0) Fail("cannot change the size of", errno);
}

void FileEditor::Sync() {
  if (fsync(fd_) != 0) Fail("cannot write", errno);
}
#endif

fs::path TemporaryFolder() {
  std::error_code ec;
  const fs::path folder = fs::temp_directory_path(ec);
  if (ec || !fs::is_directory(folder, ec))
    throw PackError("the temporary folder (TMPDIR, else /tmp; TMP or TEMP on Windows) " +
                    (folder.empty() ? std::string("is unusable") : Quoted(folder) + " does not exist") +
                    "; create it or point TMPDIR at a folder");
  return folder;
}

}  // namespace sfxpack
