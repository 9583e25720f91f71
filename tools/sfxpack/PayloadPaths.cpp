#include "PayloadPaths.h"

#include <map>

#include <boost/locale/encoding_utf.hpp>

#include "Errors.h"
#include "core/PathRules.h"

namespace sfxpack {
namespace {

std::wstring Wide(const std::string& text) { return boost::locale::conv::utf_to_utf<wchar_t>(text); }
std::string Narrow(const std::wstring& text) { return boost::locale::conv::utf_to_utf<char>(text); }

void RequireCreatableParts(const std::string& path, const std::string& source) {
  const std::wstring wide = Wide(path);
  for (std::size_t begin = 0; begin <= wide.size();) {
    std::size_t end = wide.find(L'/', begin);
    if (end == std::wstring::npos) end = wide.size();
    const std::wstring problem = WindowsNameProblem(wide.substr(begin, end - begin));
    if (!problem.empty())
      throw PackError(source + " holds \"" + path + "\", which Windows cannot create: " + Narrow(problem) +
                      "; rename it");
    begin = end + 1;
  }
}

}  // namespace

void RequireWindowsNames(const PayloadPaths& payload, const std::string& source) {
  std::map<std::wstring, std::string> seen;  // NTFS's key of each path, and the path
  for (const auto* list : {&payload.folders, &payload.files}) {
    for (const std::string& path : *list) {
      RequireCreatableParts(path, source);
      const auto [it, added] = seen.emplace(FileNameKey(Wide(path)), path);
      if (!added && it->second != path)
        throw PackError(source + " holds \"" + it->second + "\" and \"" + path +
                        "\", which differ only in letter case; Windows would extract one over the other: "
                        "rename one");
    }
  }
}

}  // namespace sfxpack
