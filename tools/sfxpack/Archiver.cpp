#include "Archiver.h"

#include <cstdlib>
#include <optional>
#include <string>

#include <boost/process/error.hpp>
#include <boost/process/io.hpp>
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
fs::path::string_type Native(const char* text) { return fs::path(text).native(); }

std::optional<fs::path> ConfiguredProgram() {
#ifdef _WIN32
  const wchar_t* value = _wgetenv(L"SFXPACK_7Z");
#else
  const char* value = std::getenv("SFXPACK_7Z");
#endif
  if (!value || !*value) return std::nullopt;
  return fs::path(value);
}

boost::filesystem::path FindSevenZip() {
  if (const auto configured = ConfiguredProgram()) {
    if (configured->has_parent_path()) {
      if (!fs::exists(*configured))
        throw PackError("SFXPACK_7Z names " + Quoted(*configured) + ", which does not exist");
      return ToBoost(fs::absolute(*configured));  // 7-Zip starts in another folder
    }
    const boost::filesystem::path found = bp::search_path(ToBoost(*configured));
    if (found.empty())
      throw PackError("cannot find the 7-Zip program " + Quoted(*configured) +
                      " (from SFXPACK_7Z) on the PATH");
    return found;
  }
  for (const char* name : {"7zz", "7z"}) {
    const boost::filesystem::path found = bp::search_path(name);
    if (!found.empty()) return found;
  }
  throw PackError("cannot find 7-Zip (7zz or 7z) on the PATH; install it or set SFXPACK_7Z "
                  "to the program's path");
}

void RequireFilledFolder(const fs::path& folder) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec))
    throw PackError("folder " + Quoted(folder) + " does not exist");
  if (fs::directory_iterator(folder, ec) == fs::directory_iterator())
    throw PackError("folder " + Quoted(folder) + " is empty or cannot be read");
}

}  // namespace

void PackFolder(const fs::path& folder, const fs::path& archive) {
  RequireFilledFolder(folder);
  const boost::filesystem::path program = FindSevenZip();
  const std::string name = Quoted(fs::path(program.native()));
  int code = 0;
  try {
    // "." from inside the folder stores its contents without the folder's name.
    code = bp::system(program, Native("a"), Native("-t7z"), Native("-mx=9"), Native("-bso0"),
                      Native("-bsp0"), Native("--"), fs::absolute(archive).native(), Native("."),
                      bp::start_dir = ToBoost(folder), bp::std_in < bp::null,
                      bp::std_out > bp::null);
  } catch (const bp::process_error& e) {
    throw PackError("cannot run 7-Zip " + name + ": " + e.what());
  }
  if (code != 0)
    throw PackError("7-Zip " + name + " failed with exit code " + std::to_string(code) +
                    " while packing folder " + Quoted(folder));
}

}  // namespace sfxpack
