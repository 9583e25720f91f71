#include "PayloadPaths.h"

#include <algorithm>
#include <map>

#include <boost/locale/encoding_utf.hpp>

#include "Errors.h"
#include "core/PathRules.h"
#include "core/handoff/ForwardedDataFormat.h"

namespace sfxpack {
namespace {

std::wstring Wide(const std::string& text) { return boost::locale::conv::utf_to_utf<wchar_t>(text); }
std::string Narrow(const std::wstring& text) { return boost::locale::conv::utf_to_utf<char>(text); }

// The path the installer creates for the item, "/" between its parts.
std::string CreatedPath(const std::string& path, bool folder, const std::string& source) {
  if (!forwarded::IsUtf8(path))
    throw PackError(source + " holds \"" + path + "\", whose name is not valid UTF-8 (as written by a system "
                    "with another character set); rename it in UTF-8");
  if (path.find('\\') != std::string::npos)
    throw PackError(source + " holds \"" + path + "\", whose name holds a backslash, which Windows reads as a "
                    "separator between folders; rename it");
  const std::wstring wide = Wide(path);
  const std::wstring problem = ItemPathProblem(wide, folder);
  if (!problem.empty())
    throw PackError(source + " holds \"" + path + "\", which the installer would not create as named: " +
                    Narrow(problem) + "; rename it");
  std::string created = Narrow(ExtractedItemPath(wide, folder));
  std::replace(created.begin(), created.end(), '\\', '/');
  return created;
}

}  // namespace

PayloadPaths RequireWindowsNames(const PayloadPaths& payload, const std::string& source) {
  PayloadPaths created;
  std::map<std::wstring, std::string> seen;  // NTFS's key of each path, and the path
  for (const bool folder : {true, false}) {
    for (const std::string& path : folder ? payload.folders : payload.files) {
      const std::string onDisk = CreatedPath(path, folder, source);
      // A folder "." is the extraction folder itself.
      if (onDisk.empty()) continue;
      (folder ? created.folders : created.files).push_back(onDisk);
      const auto [it, added] = seen.emplace(FileNameKey(Wide(onDisk)), path);
      if (!added && it->second != path)
        throw PackError(source + " holds \"" + it->second + "\" and \"" + path +
                        "\", which differ only in letter case; Windows would extract one over the other: "
                        "rename one");
    }
  }
  return created;
}

}  // namespace sfxpack
