// Files opened through the Windows file API as Boost.Iostreams devices, and
// the exception that every failure of them raises:
//
//   boost::iostreams::stream<kestlib::FileDeviceIn<char>> in(kestlib::FileDeviceIn<char>(path));
#pragma once

#include <cstdint>
#include <ios>
#include <memory>
#include <string>
#include <system_error>

#include <boost/exception/exception.hpp>
#include <boost/exception/info.hpp>
#include <boost/iostreams/categories.hpp>
#include <boost/iostreams/positioning.hpp>

namespace kestlib {

// How a file is opened; bits, combined with |.
enum class FileOpenMode : std::uint32_t { None = 0, In = 1, Out = 2, Ate = 4, App = 8, Trunc = 16 };

// What others may do with the file while it is open; the system's sharing
// mode bits.
enum class FileShareMode : std::uint32_t { None = 0, Read = 1, Write = 2, Delete = 4 };

// The operation that an error is about.
enum class FileOp : std::uint32_t { Open = 0, Read = 1, Write = 2, Seek = 3, Flush = 4 };

constexpr FileOpenMode operator|(FileOpenMode a, FileOpenMode b) {
  return static_cast<FileOpenMode>(static_cast<std::uint32_t>(a) | static_cast<std::uint32_t>(b));
}
constexpr FileShareMode operator|(FileShareMode a, FileShareMode b) {
  return static_cast<FileShareMode>(static_cast<std::uint32_t>(a) | static_cast<std::uint32_t>(b));
}

// Text forms, which Boost's diagnostic_information also uses for the entries
// below. Modes join the names of their bits with "|" ("In|Out"; "" for none),
// the open mode in the order In, Out, App, Ate, Trunc.
std::string to_string(FileOpenMode mode);
std::string to_string(FileShareMode mode);
std::string to_string(FileOp op);

// Error information that file errors carry.
using tag_errinfo_path = boost::error_info<struct tag_errinfo_path_, std::wstring>;
// A second file that an error involves.
using tag_errinfo_path2 = boost::error_info<struct tag_errinfo_path2_, std::wstring>;
using tag_errinfo_openmode = boost::error_info<struct tag_errinfo_openmode_, FileOpenMode>;
using tag_errinfo_sharemode = boost::error_info<struct tag_errinfo_sharemode_, FileShareMode>;
// -1 when no file was open.
using tag_errinfo_handle = boost::error_info<struct tag_errinfo_handle_, std::int32_t>;
using tag_errinfo_file_op = boost::error_info<struct tag_errinfo_file_op_, FileOp>;
using tag_errinfo_code = boost::error_info<struct tag_errinfo_code_, std::error_code>;

// Boost would show a wide path as a hex dump; these show it as UTF-8.
std::string to_string(const tag_errinfo_path& entry);
std::string to_string(const tag_errinfo_path2& entry);

// Raised by the file devices, and the base of other errors about files.
// code() is the error code; what() is the message, ": " and the code's text.
class FileException : public std::ios_base::failure, public virtual boost::exception {
 public:
  FileException(const std::string& message, const std::error_code& code) : std::ios_base::failure(message, code) {}
};

// The open file: handle, path and modes. Defined with the devices.
struct CurrentFile;

// Holds the open file that all copies of a device share; the file is closed
// when the last copy lets go. Every failure raises FileException.
template <typename Ch>
class FileDeviceBase {
 public:
  using char_type = Ch;

  FileDeviceBase() = default;
  FileDeviceBase(const FileDeviceBase&) = default;
  FileDeviceBase& operator=(const FileDeviceBase&) = default;
  virtual ~FileDeviceBase() = default;

  // Closes a file that is open, then opens path. Out creates a missing file,
  // Trunc empties it; without Out the file must exist, and Trunc, Ate and App
  // are refused.
  virtual void open(const std::wstring& path, FileOpenMode openMode, FileShareMode shareMode);
  // Drops this device's hold on the open file.
  virtual void close();
  // Any origin other than cur or end counts as beg. Returns the new position.
  virtual std::streampos seek(boost::iostreams::stream_offset offset, std::ios_base::seekdir origin);
  virtual bool flush();

 protected:
  std::shared_ptr<CurrentFile> m_file;
};

// A seekable Boost.Iostreams source over a file.
template <typename Ch>
class FileDeviceIn : public virtual FileDeviceBase<Ch> {
 public:
  struct category : boost::iostreams::input_seekable, boost::iostreams::device_tag, boost::iostreams::closable_tag {};

  FileDeviceIn() = default;
  explicit FileDeviceIn(const std::wstring& path, FileOpenMode openMode = FileOpenMode::In,
                        FileShareMode shareMode = FileShareMode::Read) {
    this->open(path, openMode, shareMode);
  }

  // Reads up to count bytes; returns how many, or -1 at the end of the file
  // (Boost.Iostreams' end of sequence). Counts of 4 GiB or more are refused.
  virtual std::streamsize read(Ch* buffer, std::int64_t count);
};

extern template class FileDeviceBase<char>;
extern template class FileDeviceIn<char>;

}  // namespace kestlib
