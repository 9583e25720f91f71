#include "Branding.h"

#include <algorithm>
#include <sstream>

#include <boost/algorithm/string/trim.hpp>
#include <boost/locale/encoding_utf.hpp>

#include "Errors.h"
#include "FileIo.h"
#include "core/pe/IconFile.h"
#include "core/pe/ResourceSection.h"
#include "core/pe/VersionInfo.h"

namespace sfxpack {
namespace {

constexpr std::uint16_t kIconGroupId = 128;
constexpr std::uint16_t kVersionId = 1;
constexpr std::uint16_t kDefaultLanguage = 0x0409;

using Fields = std::vector<std::pair<std::string, std::string>>;

void Set(Fields& fields, const std::string& key, const std::string& value) {
  const auto found = std::find_if(fields.begin(), fields.end(), [&](const auto& f) { return f.first == key; });
  if (found != fields.end())
    found->second = value;
  else
    fields.emplace_back(key, value);
}

Fields ReadVersionFile(const std::filesystem::path& path) {
  const std::vector<std::uint8_t> bytes = ReadFilePrefix(path, 1 << 20, "version information");
  std::istringstream lines(std::string(bytes.begin(), bytes.end()));
  Fields fields;
  std::size_t number = 0;
  for (std::string line; std::getline(lines, line);) {
    ++number;
    boost::algorithm::trim(line);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    const std::size_t equals = line.find('=');
    const std::string key = boost::algorithm::trim_copy(line.substr(0, equals));
    if (equals == std::string::npos ||
        std::find(VersionKeys().begin(), VersionKeys().end(), key) == VersionKeys().end())
      throw PackError("version information " + Quoted(path) + " line " + std::to_string(number) +
                      ": expected KEY=VALUE with a key of ProductName, CompanyName, FileDescription, "
                      "ProductVersion, FileVersion, LegalCopyright, OriginalFilename");
    Set(fields, key, boost::algorithm::trim_copy(line.substr(equals + 1)));
  }
  return fields;
}

kestlib::FileVersion Version(const std::string& key, const std::string& text) {
  const auto version = kestlib::ParseFileVersion(text);
  if (!version)
    throw PackError(key + " \"" + text + "\" must be one to four numbers from 0 to 65535 joined by \".\"");
  return *version;
}

std::vector<std::uint8_t> VersionResource(Fields fields, const std::string& outputName) {
  auto value = [&](const char* key) {
    const auto found = std::find_if(fields.begin(), fields.end(), [&](const auto& f) { return f.first == key; });
    return found == fields.end() ? std::string() : found->second;
  };
  // Explorer shows the description; one version stands for both.
  if (value("FileDescription").empty() && !value("ProductName").empty())
    Set(fields, "FileDescription", value("ProductName"));
  if (value("FileVersion").empty() && !value("ProductVersion").empty())
    Set(fields, "FileVersion", value("ProductVersion"));
  if (value("ProductVersion").empty() && !value("FileVersion").empty())
    Set(fields, "ProductVersion", value("FileVersion"));
  if (value("OriginalFilename").empty()) Set(fields, "OriginalFilename", outputName);

  kestlib::VersionInfo info;
  if (!value("FileVersion").empty()) info.fileVersion = Version("FileVersion", value("FileVersion"));
  if (!value("ProductVersion").empty()) info.productVersion = Version("ProductVersion", value("ProductVersion"));
  for (const std::string& key : VersionKeys()) {
    const std::string text = value(key.c_str());
    if (!text.empty())
      info.strings.emplace_back(boost::locale::conv::utf_to_utf<char16_t>(key),
                                boost::locale::conv::utf_to_utf<char16_t>(text));
  }
  return kestlib::BuildVersionInfo(info);
}

bool Is(const kestlib::ResourceKey& key, std::uint16_t id) { return key.name.empty() && key.id == id; }

// The language the stub gave a resource, so that the replacement takes
// its place.
std::uint16_t LanguageOf(const std::vector<kestlib::Resource>& resources, std::uint16_t type, std::uint16_t id) {
  for (const kestlib::Resource& r : resources)
    if (Is(r.type, type) && Is(r.name, id)) return r.language;
  return kDefaultLanguage;
}

void ReplaceIcon(const std::filesystem::path& path, std::vector<kestlib::Resource>& resources) {
  const std::uint16_t language = LanguageOf(resources, kestlib::kResourceTypeGroupIcon, kIconGroupId);
  // The images of the old group go with it.
  std::vector<std::uint16_t> oldImages;
  for (const kestlib::Resource& r : resources) {
    if (!Is(r.type, kestlib::kResourceTypeGroupIcon) || !Is(r.name, kIconGroupId) || r.data.size() < 6) continue;
    const std::size_t count = r.data[4] | r.data[5] << 8;
    for (std::size_t i = 0; i < count && 6 + 14 * i + 14 <= r.data.size(); ++i)
      oldImages.push_back(static_cast<std::uint16_t>(r.data[6 + 14 * i + 12] | r.data[6 + 14 * i + 13] << 8));
  }
  resources.erase(std::remove_if(resources.begin(), resources.end(),
                                 [&](const kestlib::Resource& r) {
                                   return (Is(r.type, kestlib::kResourceTypeGroupIcon) && Is(r.name, kIconGroupId)) ||
                                          (Is(r.type, kestlib::kResourceTypeIcon) && r.name.name.empty() &&
                                           std::count(oldImages.begin(), oldImages.end(), r.name.id));
                                 }),
                  resources.end());
  std::uint16_t firstId = 1;
  for (const kestlib::Resource& r : resources)
    if (Is(r.type, kestlib::kResourceTypeIcon) && r.name.name.empty() && r.name.id >= firstId)
      firstId = static_cast<std::uint16_t>(r.name.id + 1);

  const std::vector<std::uint8_t> bytes = ReadFilePrefix(path, 16 << 20, "icon");
  const auto icon = kestlib::ReadIconFile(bytes.data(), bytes.size(), firstId);
  if (!icon) throw PackError("icon " + Quoted(path) + " is not an icon file (.ico) with at least one image");
  for (std::size_t i = 0; i < icon->images.size(); ++i)
    resources.push_back({{kestlib::kResourceTypeIcon, {}},
                         {static_cast<std::uint16_t>(firstId + i), {}},
                         language,
                         0,
                         icon->images[i]});
  resources.push_back({{kestlib::kResourceTypeGroupIcon, {}}, {kIconGroupId, {}}, language, 0, icon->group});
}

}  // namespace

const std::vector<std::string>& VersionKeys() {
  static const std::vector<std::string> keys = {"ProductName",    "CompanyName",   "FileDescription",
                                                "ProductVersion", "FileVersion",   "LegalCopyright",
                                                "OriginalFilename"};
  return keys;
}

void ApplyBranding(const Branding& branding, const std::filesystem::path& stubPath,
                   const std::string& outputName, StubImage& stub) {
  if (branding.empty()) return;
  auto resources = kestlib::ReadResources(stub.bytes.data(), stub.bytes.size());
  if (!resources) throw PackError("stub " + Quoted(stubPath) + " has a malformed resource tree");
  if (!branding.icon.empty()) ReplaceIcon(branding.icon, *resources);
  if (!branding.versionFile.empty() || !branding.fields.empty()) {
    Fields fields = branding.versionFile.empty() ? Fields{} : ReadVersionFile(branding.versionFile);
    for (const auto& [key, value] : branding.fields) Set(fields, key, value);
    const std::uint16_t language = LanguageOf(*resources, kestlib::kResourceTypeVersion, kVersionId);
    resources->erase(std::remove_if(resources->begin(), resources->end(),
                                    [](const kestlib::Resource& r) { return Is(r.type, kestlib::kResourceTypeVersion); }),
                     resources->end());
    resources->push_back({{kestlib::kResourceTypeVersion, {}}, {kVersionId, {}}, language, 0,
                          VersionResource(fields, outputName)});
  }
  auto image = kestlib::ReplaceResources(stub.bytes.data(), stub.bytes.size(), *resources);
  if (!image)
    throw PackError("stub " + Quoted(stubPath) + " cannot be branded: its resource section is not its last " +
                    "section (build the stub with this project's link, which puts it last)");
  ReplaceStubImage(stub, std::move(*image), stubPath);
}

}  // namespace sfxpack
