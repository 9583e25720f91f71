#include "kestlib/io/SystemFile.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <limits>
#include <optional>
#include <utility>

#include <boost/assert/source_location.hpp>
#include <boost/current_function.hpp>
#include <boost/exception/errinfo_api_function.hpp>
#include <boost/throw_exception.hpp>

#include "kestlib/Holders.h"
#include "kestlib/io/Utf8.h"

// The raising location with the function's full signature; GCC's
// BOOST_CURRENT_LOCATION carries the bare function name only.
#define KESTLIB_HERE ::boost::source_location(__FILE__, __LINE__, BOOST_CURRENT_FUNCTION)

namespace kestlib {

struct CurrentFile {
  UniqueFile handle;
  std::wstring path;
  FileOpenMode openMode;
  FileShareMode shareMode;
};

namespace {

static_assert(static_cast<DWORD>(FileShareMode::Read) == FILE_SHARE_READ &&
                  static_cast<DWORD>(FileShareMode::Write) == FILE_SHARE_WRITE &&
                  static_cast<DWORD>(FileShareMode::Delete) == FILE_SHARE_DELETE,
              "share modes go to CreateFileW as they are");

template <typename Flags>
bool Has(Flags set, Flags bit) {
  return (static_cast<std::uint32_t>(set) & static_cast<std::uint32_t>(bit)) != 0;
}

template <typename Flags, std::size_t N>
std::string JoinNames(Flags set, const std::pair<Flags, const char*> (&names)[N]) {
  std::string text;
  for (const auto& [bit, name] : names) {
    if (!Has(set, bit)) continue;
    if (!text.empty()) text += '|';
    text += name;
  }
  return text;
}

std::string EntryText(const std::string& name, const std::wstring& path) {
  return '[' + name + "] = " + Utf8FromWide(path) + '\n';
}

// What an error says about its file: the state of the open file, or what an
// open asked for (no handle yet).
struct FileFacts {
  const std::wstring& path;
  FileOpenMode openMode;
  FileShareMode shareMode;
  std::optional<std::int32_t> handle;
};

const std::wstring kNoPath;

FileFacts FactsOf(const CurrentFile* file) {
  if (!file) return {kNoPath, FileOpenMode::None, FileShareMode::None, -1};
  return {file->path, file->openMode, file->shareMode,
          static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(file->handle.get()))};
}

HANDLE NativeHandle(const CurrentFile* file) { return file ? file->handle.get() : INVALID_HANDLE_VALUE; }

[[noreturn]] void ThrowFileError(const char* message, const std::error_code& code, FileOp op, const FileFacts& facts,
                                 const char* apiFunction, const boost::source_location& where) {
  FileException error(message, code);
  error << tag_errinfo_path(facts.path) << tag_errinfo_openmode(facts.openMode)
        << tag_errinfo_sharemode(facts.shareMode) << tag_errinfo_file_op(op) << tag_errinfo_code(code);
  if (facts.handle) error << tag_errinfo_handle(*facts.handle);
  if (apiFunction) error << boost::errinfo_api_function(apiFunction);
  boost::throw_exception(error, where);
}

// The caller asked for something that the file's mode does not allow.
[[noreturn]] void ThrowRefusal(const char* message, FileOp op, const FileFacts& facts,
                               const boost::source_location& where) {
  ThrowFileError(message, std::make_error_code(std::errc::invalid_argument), op, facts, nullptr, where);
}

// The system refused; its last error is the code. Call it right after the
// failed call: nothing in between may touch the last error.
[[noreturn]] void ThrowSystemFailure(const char* message, const char* apiFunction, FileOp op, const FileFacts& facts,
                                     const boost::source_location& where) {
  const std::error_code code(static_cast<int>(GetLastError()), std::system_category());
  ThrowFileError(message, code, op, facts, apiFunction, where);
}

}  // namespace

std::string to_string(FileOpenMode mode) {
  static const std::pair<FileOpenMode, const char*> names[] = {{FileOpenMode::In, "In"},
                                                               {FileOpenMode::Out, "Out"},
                                                               {FileOpenMode::App, "App"},
                                                               {FileOpenMode::Ate, "Ate"},
                                                               {FileOpenMode::Trunc, "Trunc"}};
  return JoinNames(mode, names);
}

std::string to_string(FileShareMode mode) {
  static const std::pair<FileShareMode, const char*> names[] = {
      {FileShareMode::Read, "Read"}, {FileShareMode::Write, "Write"}, {FileShareMode::Delete, "Delete"}};
  return JoinNames(mode, names);
}

std::string to_string(FileOp op) {
  static const char* const names[] = {"Open", "Read", "Write", "Seek", "Flush"};
  const auto index = static_cast<std::size_t>(op);
  return index < std::size(names) ? names[index] : std::to_string(index);
}

std::string to_string(const tag_errinfo_path& entry) { return EntryText(boost::error_info_name(entry), entry.value()); }

std::string to_string(const tag_errinfo_path2& entry) {
  return EntryText(boost::error_info_name(entry), entry.value());
}

template <typename Ch>
void FileDeviceBase<Ch>::open(const std::wstring& path, FileOpenMode openMode, FileShareMode shareMode) {
  close();
  const FileFacts request{path, openMode, shareMode, std::nullopt};
  DWORD disposition = OPEN_EXISTING;
  if (Has(openMode, FileOpenMode::Out))
    disposition = Has(openMode, FileOpenMode::Trunc) ? CREATE_ALWAYS : OPEN_ALWAYS;
  else if (Has(openMode, FileOpenMode::Trunc))
    ThrowRefusal("Cannot truncate file that was opened in read-only mode", FileOp::Open, request, KESTLIB_HERE);
  else if (Has(openMode, FileOpenMode::Ate) || Has(openMode, FileOpenMode::App))
    ThrowRefusal("Cannot append to file that was opened in read-only mode", FileOp::Open, request, KESTLIB_HERE);

  const DWORD access =
      (Has(openMode, FileOpenMode::In) ? GENERIC_READ : 0) | (Has(openMode, FileOpenMode::Out) ? GENERIC_WRITE : 0);
  UniqueFile handle(CreateFileW(path.c_str(), access, static_cast<DWORD>(shareMode), nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle) ThrowSystemFailure("Could not open file", "CreateFile", FileOp::Open, request, KESTLIB_HERE);

  m_file = std::make_shared<CurrentFile>(CurrentFile{std::move(handle), path, openMode, shareMode});
  if (Has(openMode, FileOpenMode::Ate)) seek(0, std::ios_base::end);
}

template <typename Ch>
void FileDeviceBase<Ch>::close() {
  m_file.reset();
}

template <typename Ch>
std::streampos FileDeviceBase<Ch>::seek(boost::iostreams::stream_offset offset, std::ios_base::seekdir origin) {
  DWORD method = FILE_BEGIN;
  if (origin == std::ios_base::cur)
    method = FILE_CURRENT;
  else if (origin == std::ios_base::end)
    method = FILE_END;
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER position;
  if (!SetFilePointerEx(NativeHandle(m_file.get()), distance, &position, method))
    ThrowSystemFailure("Could not seek in file", "SetFilePointerEx", FileOp::Seek, FactsOf(m_file.get()), KESTLIB_HERE);
  return boost::iostreams::offset_to_position(position.QuadPart);
}

template <typename Ch>
bool FileDeviceBase<Ch>::flush() {
  if (!FlushFileBuffers(NativeHandle(m_file.get())))
    ThrowSystemFailure("Could not flush file", "FlushFileBuffers", FileOp::Flush, FactsOf(m_file.get()), KESTLIB_HERE);
  return true;
}

template <typename Ch>
std::streamsize FileDeviceIn<Ch>::read(Ch* buffer, std::int64_t count) {
  static_assert(sizeof(Ch) == 1, "counts are in bytes");
  const CurrentFile* file = this->m_file.get();
  if (!file || !Has(file->openMode, FileOpenMode::In))
    ThrowRefusal("cannot read from file that was opened in write-only mode", FileOp::Read, FactsOf(file), KESTLIB_HERE);
  if (static_cast<std::uint64_t>(count) >> 32 != 0)
    ThrowRefusal("cannot read more than 4 GiB at once", FileOp::Read, FactsOf(file), KESTLIB_HERE);

  // The result must fit a streamsize, which is 32 bits wide in this build.
  const auto wanted = static_cast<DWORD>(std::min<std::uint64_t>(count, std::numeric_limits<std::streamsize>::max()));
  DWORD done = 0;
  if (!ReadFile(file->handle.get(), buffer, wanted, &done, nullptr))
    ThrowSystemFailure("Could not read file", "ReadFile", FileOp::Read, FactsOf(file), KESTLIB_HERE);
  // A 0 would make Boost.Iostreams' copy() ask again for ever.
  if (done == 0 && wanted != 0) return -1;
  return static_cast<std::streamsize>(done);
}

template class FileDeviceBase<char>;
template class FileDeviceIn<char>;

}  // namespace kestlib
