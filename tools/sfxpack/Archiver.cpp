#include "Archiver.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <sstream>

#include <boost/process/child.hpp>
#include <boost/process/error.hpp>
#include <boost/process/io.hpp>
#include <boost/process/pipe.hpp>
#include <boost/process/search_path.hpp>
#include <boost/process/start_dir.hpp>
#include <boost/process/extend.hpp>

#include "Errors.h"
#include "FileIo.h"
#include "Interrupts.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace bp = boost::process;
namespace fs = std::filesystem;

namespace sfxpack {
namespace {

// Boost.Process takes Boost's path type; both wrap the same native string.
boost::filesystem::path ToBoost(const fs::path& path) {
  return boost::filesystem::path(path.native());
}

// Arguments in the native character type, so that wide paths reach 7-Zip
// unchanged on Windows.
using Args = std::vector<fs::path::string_type>;
fs::path::string_type Native(const std::string& text) { return fs::u8path(text).native(); }

Args PackArguments(const fs::path& archive, const PackSettings& s) {
  // -bse1: the errors come through the pipe, for the message.
  Args args = {Native("a"), Native("-t7z"), Native("-mx=" + std::to_string(s.level)),
               Native("-bso0"), Native("-bse1"), Native(s.progress ? "-bsp2" : "-bsp0")};
  if (s.level > 0) args.push_back(Native(std::string("-m0=LZMA2:c=") + kBlockSizeOption));
  if (s.threads) args.push_back(Native("-mmt=" + std::to_string(*s.threads)));
  // "." from inside the folder stores its contents without the folder's name.
  args.insert(args.end(), {Native("--"), fs::absolute(archive).native(), Native(".")});
  return args;
}

#ifndef _WIN32
// 7-Zip leads a process group of its own: an interrupt stops it and all
// it started, and a Ctrl-C at the terminal reaches sfxpack alone, which
// then stops it.
struct OwnProcessGroup : bp::extend::handler {
  template <typename Executor>
  void on_exec_setup(Executor&) const {
    ::setpgid(0, 0);
  }
};
#else
struct OwnProcessGroup : bp::extend::handler {
  template <typename Executor>
  void on_setup(Executor& executor) const {
    executor.creation_flags |= CREATE_NEW_PROCESS_GROUP;
  }
};
#endif

// What 7-Zip said of an error: its output without blank lines, the
// lines joined by "; " (a heading ending in ':' by a space), "the archive"
// where it named the archive by the path it was given, and without the
// lines that only name the archive.
std::string Reason(const std::string& output, const fs::path& archive = {}) {
  std::istringstream lines(output);
  const std::string path = archive.u8string();
  std::string reason;
  for (std::string line; std::getline(lines, line);) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    for (std::size_t at; !path.empty() && (at = line.find(path)) != std::string::npos;)
      line.replace(at, path.size(), "the archive");
    if (line.empty() || line == "the archive" || line == "ERROR: the archive") continue;
    if (!reason.empty()) reason += reason.back() == ':' ? " " : "; ";
    reason += line;
  }
  if (reason.empty()) return "7-Zip gave no reason";
  return reason.size() > 600 ? reason.substr(0, 600) + "..." : reason;
}

// 7-Zip's progress, written to one stream with its errors, as whole lines:
// it redraws its progress behind backspaces, and ends its messages with
// line feeds.
class ProgressLines {
 public:
  explicit ProgressLines(std::ostream& out) : out_(out) {}
  // Takes one character of 7-Zip's output; the messages collect in output.
  void Take(char c, std::string& output) {
    if (c != '\b' && c != '\r' && c != '\n') {
      part_ += c;
      return;
    }
    if (c == '\n') {
      output += part_ + '\n';
    } else {
      const std::size_t digits = part_.find_first_not_of(' ');
      const std::size_t percent = part_.find('%');
      if (digits != std::string::npos && percent != std::string::npos && percent > digits) {
        const std::string value = part_.substr(digits, percent - digits);
        if (value.find_first_not_of("0123456789") == std::string::npos && value != shown_) {
          out_ << "sfxpack: packing " << value << "%\n" << std::flush;
          shown_ = value;
        }
      }
    }
    part_.clear();
  }

 private:
  std::ostream& out_;
  std::string part_;
  std::string shown_;
};

// Runs 7-Zip with its standard output (where -bse1 puts its errors too) in
// output. Progress (-bsp2) stays on sfxpack's standard error when wanted,
// or, with progressLines, comes through the same pipe (-bsp1) and leaves as
// whole lines. Returns 7-Zip's exit code.
int RunSevenZip(const fs::path& program, Args args, const fs::path& startDir, bool progress,
                std::string& output, std::ostream* progressLines = nullptr) {
  try {
    if (progressLines)
      std::replace(args.begin(), args.end(), Native("-bsp2"), Native("-bsp1"));
    bp::ipstream pipe;
    std::error_code ec;
    bp::child child = progress && !progressLines
                          ? bp::child(ToBoost(program), args, bp::start_dir = ToBoost(startDir),
                                      bp::std_in < bp::null, bp::std_out > pipe, OwnProcessGroup{})
                          : bp::child(ToBoost(program), args, bp::start_dir = ToBoost(startDir),
                                      bp::std_in < bp::null, bp::std_out > pipe, bp::std_err > bp::null,
                                      OwnProcessGroup{});
    const StoppableChild stoppable(child.id());
    if (progressLines) {
      ProgressLines lines(*progressLines);
      for (char c; pipe.get(c);) lines.Take(c, output);
      lines.Take('\n', output);
    } else {
      std::ostringstream text;
      text << pipe.rdbuf();
      output = text.str();
    }
    child.wait(ec);
    CheckInterrupt();
    if (ec) throw PackError("cannot wait for 7-Zip " + Quoted(program) + ": " + ec.message());
    return child.exit_code();
  } catch (const bp::process_error& e) {
    throw PackError("cannot run 7-Zip " + Quoted(program) + ": " + e.what());
  }
}

}  // namespace

std::optional<fs::path> FindSevenZip() {
  if (const auto configured = EnvironmentValue("SFXPACK_7Z")) {
    const fs::path path = fs::u8path(*configured);
    if (path.has_parent_path()) {
      if (!fs::exists(path))
        throw PackError("SFXPACK_7Z names " + Quoted(path) + ", which does not exist");
      return fs::absolute(path);  // 7-Zip starts in another folder
    }
    const boost::filesystem::path found = bp::search_path(ToBoost(path));
    if (found.empty())
      throw PackError("cannot find the 7-Zip program " + Quoted(path) + " (from SFXPACK_7Z) on the PATH");
    return fs::path(found.native());
  }
  for (const char* name : {"7zz", "7z"}) {
    const boost::filesystem::path found = bp::search_path(name);
    if (!found.empty()) return fs::path(found.native());
  }
  return std::nullopt;
}

void PackFolder(const fs::path& program, const fs::path& folder, const fs::path& archive,
                const PackSettings& settings) {
  Args args = PackArguments(archive, settings);
  std::string output;
  const int code = RunSevenZip(program, args, folder, settings.progress, output, settings.progressLines);
  if (code != 0)
    throw PackError("7-Zip " + Quoted(program) + " failed with exit code " + std::to_string(code) +
                    " while packing folder " + Quoted(folder) + " into " + Quoted(archive) + ": " +
                    Reason(output, fs::absolute(archive)));
}

namespace {

// A technical listing with an empty password (7-Zip asks for none then),
// its errors in the text too; the exit code of 7-Zip.
int ListWithoutPassword(const fs::path& program, const fs::path& archive, std::string& listing) {
  return RunSevenZip(program, {Native("l"), Native("-slt"), Native("-ba"), Native("-p"), Native("-bse1"), Native("--"),
                               archive.native()},
                     archive.parent_path(), false, listing);
}

// Each item's block begins with its path; a folder's attributes begin
// with "D", a link's Unix mode with "l"; its coders follow.
PayloadPaths ItemPaths(const std::string& listing, bool* encrypted) {
  PayloadPaths paths;
  std::istringstream lines(listing);
  std::string path;
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (encrypted && line == "Encrypted = +") *encrypted = true;
    const bool current = !paths.files.empty() && paths.files.back() == path;
    if (line.rfind("Path = ", 0) == 0) {
      path = line.substr(7);
#ifdef _WIN32
      // On Linux a backslash is part of a name.
      std::replace(path.begin(), path.end(), '\\', '/');
#endif
      paths.files.push_back(path);
    } else if (line.rfind("Attributes = D", 0) == 0 && current) {
      paths.files.pop_back();
      paths.folders.push_back(path);
    } else if (line.rfind("Attributes = ", 0) == 0 && line.find(" l", 13) != std::string::npos && current) {
      paths.links.push_back(path);
    } else if (line.rfind("Method = ", 0) == 0 && current) {
      paths.methods.emplace_back(path, line.substr(9));
    }
  }
  return paths;
}

}  // namespace

ArchiveTest TestArchive(const fs::path& program, const fs::path& archive, const std::string& what) {
  const fs::path absolute = fs::absolute(archive);
  ArchiveTest result;
  std::string listing;
  if (ListWithoutPassword(program, absolute, listing) != 0) {
    if (listing.find("Cannot open encrypted archive") != std::string::npos) {
      result.dataTested = false;
      return result;
    }
  } else {
    bool encrypted = false;
    result.paths = ItemPaths(listing, &encrypted);
    if (encrypted) {
      result.dataTested = false;
      return result;
    }
  }
  std::string output;
  const int code = RunSevenZip(program, {Native("t"), Native("-bso0"), Native("-bsp0"), Native("-bse1"), Native("-p"),
                                         Native("--"), absolute.native()},
                               absolute.parent_path(), false, output);
  if (code != 0)
    throw PackError(what + " is damaged: 7-Zip's test of it failed with exit code " + std::to_string(code) +
                    " (" + Reason(output, absolute) + "); the installer would report it as a corrupted download");
  if (!result.paths) result.paths = ListArchive(program, archive, what);
  return result;
}

PayloadPaths ListArchive(const fs::path& program, const fs::path& archive, const std::string& what) {
  const fs::path absolute = fs::absolute(archive);
  std::string listing;
  const int code = RunSevenZip(program, {Native("l"), Native("-slt"), Native("-ba"), Native("-p"), Native("-bse1"),
                                         Native("--"), absolute.native()},
                               absolute.parent_path(), false, listing);
  if (code != 0)
    throw PackError("7-Zip " + Quoted(program) + " cannot list " + what + " (exit code " + std::to_string(code) +
                    ": " + Reason(listing, absolute) + ")");
  return ItemPaths(listing, nullptr);
}

}  // namespace sfxpack
