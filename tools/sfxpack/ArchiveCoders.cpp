#include "ArchiveCoders.h"

#include <map>
#include <sstream>
#include <vector>

#include "Errors.h"
#include "core/payload/Decoders.h"

namespace sfxpack {
namespace {

// The first few items, and how many more.
std::string ItemList(const std::vector<std::string>& items) {
  constexpr std::size_t kNamed = 3;
  std::string text;
  for (std::size_t i = 0; i < items.size() && i < kNamed; ++i) text += (i ? ", \"" : "\"") + items[i] + "\"";
  if (items.size() > kNamed) text += " and " + std::to_string(items.size() - kNamed) + " more";
  return text;
}

std::string DecoderNames() {
  std::string names;
  for (const payload::Decoder& decoder : payload::Decoders()) names += (names.empty() ? "" : ", ") + std::string(decoder.name);
  return names;
}

}  // namespace

void RequireExtractableItems(const PayloadPaths& listed, const std::string& source) {
  std::map<std::string, std::vector<std::string>> unknown;  // method, its items
  for (const auto& [path, methods] : listed.methods) {
    std::istringstream coders(methods);
    for (std::string coder; coders >> coder;) {
      if (!payload::FindDecoder(coder)) unknown[coder.substr(0, coder.find(':'))].push_back(path);
    }
  }
  if (!unknown.empty()) {
    const auto& [method, items] = *unknown.begin();
    throw PackError(source + " uses the method " + method + ", which the installer cannot decode, for " +
                    ItemList(items) + "; repack it with methods it decodes (" + DecoderNames() +
                    "), for example with 7zz a -m0=LZMA2 -mf=off");
  }
  if (!listed.links.empty())
    throw PackError(source + " holds the symbolic link(s) " + ItemList(listed.links) +
                    ", which the installer would write as small files holding the link's target; repack it "
                    "without -snl (7-Zip then stores the files the links name)");
}

}  // namespace sfxpack
