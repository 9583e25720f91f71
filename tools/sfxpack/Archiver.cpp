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
#include <boost/process/system.hpp>

#include "Errors.h"
#include "FileIo.h"

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
  Args args = {Native("a"), Native("-t7z"), Native("-mx=" + std::to_string(s.level)),
               Native("-bso0"), Native(s.progress ? "-bsp2" : "-bsp0")};
  if (s.level > 0) args.push_back(Native(std::string("-m0=LZMA2:c=") + kBlockSizeOption));
  if (s.threads) args.push_back(Native("-mmt=" + std::to_string(*s.threads)));
  // "." from inside the folder stores its contents without the folder's name.
  args.insert(args.end(), {Native("--"), fs::absolute(archive).native(), Native(".")});
  return args;
}

// The file time of a count of seconds since 1970. The file clock's epoch
// lies a whole number of seconds from 1970 (libstdc++ and Windows alike),
// so rounding the clocks' difference makes the result exact: equal epochs
// give equal times in every build.
fs::file_time_type FileTimeOf(std::int64_t epoch) {
  using namespace std::chrono;
  const auto fileNow = fs::file_time_type::clock::now().time_since_epoch();
  const auto systemNow = system_clock::now().time_since_epoch();
  const seconds offset = round<seconds>(fileNow - duration_cast<fs::file_time_type::duration>(systemNow));
  return fs::file_time_type(duration_cast<fs::file_time_type::duration>(seconds(epoch) + offset));
}

// A copy of the folder whose file times are at most the epoch, so that the
// archive does not depend on when the files were checked out.
void CopyClamped(const fs::path& folder, const fs::path& copy, std::int64_t epoch) {
  std::error_code ec;
  fs::copy(folder, copy, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
  if (ec) throw PackError("cannot copy folder " + Quoted(folder) + ": " + ec.message());
  const fs::file_time_type limit = FileTimeOf(epoch);
  for (fs::recursive_directory_iterator it(copy, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_symlink()) continue;
    if (it->last_write_time() > limit) fs::last_write_time(it->path(), limit, ec);
    if (ec) break;
  }
  if (ec) throw PackError("cannot set the file times in a copy of " + Quoted(folder) + ": " + ec.message());
  if (fs::last_write_time(copy) > limit) fs::last_write_time(copy, limit, ec);
}

int RunSevenZip(const fs::path& program, const Args& args, const fs::path& startDir,
                bool progress, std::string* output) {
  const std::string name = Quoted(program);
  try {
    if (output) {
      bp::ipstream pipe;
      bp::child child(ToBoost(program), args, bp::start_dir = ToBoost(startDir), bp::std_in < bp::null,
                      bp::std_out > pipe, bp::std_err > bp::null);
      std::ostringstream text;
      text << pipe.rdbuf();
      *output = text.str();
      child.wait();
      return child.exit_code();
    }
    if (progress)
      return bp::system(ToBoost(program), args, bp::start_dir = ToBoost(startDir),
                        bp::std_in < bp::null, bp::std_out > bp::null);
    return bp::system(ToBoost(program), args, bp::start_dir = ToBoost(startDir), bp::std_in < bp::null,
                      bp::std_out > bp::null, bp::std_err > bp::null);
  } catch (const bp::process_error& e) {
    throw PackError("cannot run 7-Zip " + name + ": " + e.what());
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

void RequireFilledFolder(const fs::path& folder) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec))
    throw PackError("folder " + Quoted(folder) + " does not exist");
  if (fs::directory_iterator(folder, ec) == fs::directory_iterator())
    throw PackError("folder " + Quoted(folder) + " is empty or cannot be read");
}

void PackFolder(const fs::path& program, const fs::path& folder, const fs::path& archive,
                const PackSettings& settings) {
  RequireFilledFolder(folder);
  fs::path source = folder;
  std::optional<RemoveTreeOnExit> copy;
  if (settings.epoch) {
    copy.emplace(archive.parent_path() / (archive.stem().native() + Native(".files")));
    CopyClamped(folder, copy->path(), *settings.epoch);
    source = copy->path();
  }
  const int code = RunSevenZip(program, PackArguments(archive, settings), source, settings.progress, nullptr);
  if (code != 0)
    throw PackError("7-Zip " + Quoted(program) + " failed with exit code " + std::to_string(code) +
                    " while packing folder " + Quoted(folder));
}

namespace {

// A technical listing with an empty password (7-Zip asks for none then),
// its errors in the text too; the exit code of 7-Zip.
int ListWithoutPassword(const fs::path& program, const fs::path& archive, std::string& listing) {
  return RunSevenZip(program, {Native("l"), Native("-slt"), Native("-ba"), Native("-p"), Native("-bse1"), Native("--"),
                               archive.native()},
                     archive.parent_path(), false, &listing);
}

std::vector<std::string> ItemPaths(const std::string& listing, bool* encrypted) {
  std::vector<std::string> paths;
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (encrypted && line == "Encrypted = +") *encrypted = true;
    if (line.rfind("Path = ", 0) != 0) continue;
    std::string path = line.substr(7);
    std::replace(path.begin(), path.end(), '\\', '/');
    paths.push_back(path);
  }
  return paths;
}

}  // namespace

ArchiveTest TestArchive(const fs::path& program, const fs::path& archive) {
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
  const int code = RunSevenZip(program, {Native("t"), Native("-bso0"), Native("-bsp0"), Native("-p"), Native("--"),
                                         absolute.native()},
                               absolute.parent_path(), false, nullptr);
  if (code != 0)
    throw PackError("archive " + Quoted(archive) + " is damaged: 7-Zip's test of it failed with exit code " +
                    std::to_string(code) + "; the installer would report it as a corrupted download");
  if (!result.paths) result.paths = ListArchive(program, archive);
  return result;
}

std::vector<std::string> ListArchive(const fs::path& program, const fs::path& archive) {
  const fs::path absolute = fs::absolute(archive);
  std::string listing;
  const int code = RunSevenZip(program, {Native("l"), Native("-slt"), Native("-ba"), Native("--"), absolute.native()},
                               absolute.parent_path(), false, &listing);
  if (code != 0)
    throw PackError("7-Zip " + Quoted(program) + " cannot list archive " + Quoted(archive) + " (exit code " +
                    std::to_string(code) + ")");
  return ItemPaths(listing, nullptr);
}

}  // namespace sfxpack
