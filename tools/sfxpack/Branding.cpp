#include "Branding.h"

#include <algorithm>
#include <optional>
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
  std::string text(bytes.begin(), bytes.end());
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);  // as editors on Windows save UTF-8
  std::istringstream lines(text);
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

// A release's product version is free text ("2.3.4-beta+abc"); its numbers
// in front give the binary version Windows compares.
std::optional<kestlib::FileVersion> LeadingVersion(const std::string& text) {
  std::size_t end = text.find_first_not_of("0123456789.");
  std::string numbers = text.substr(0, end);
  while (!numbers.empty() && numbers.back() == '.') numbers.pop_back();
  return kestlib::ParseFileVersion(numbers);
}

std::string VersionString(const kestlib::FileVersion& v) {
  return std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) + "." + std::to_string(v[3]);
}

// The resource's lengths are 16-bit: a longer one would be cut.
void RequireVersionFits(const std::vector<std::uint8_t>& resource, const Fields& fields) {
  if (resource.size() <= 0xFFFF) return;
  const auto longest = std::max_element(fields.begin(), fields.end(), [](const auto& a, const auto& b) {
    return a.second.size() < b.second.size();
  });
  throw PackError("the version information takes " + std::to_string(resource.size()) +
                  " bytes, more than a version resource holds (65,535); shorten " + longest->first + " (" +
                  std::to_string(longest->second.size()) + " bytes)");
}

std::vector<std::uint8_t> VersionResource(Fields fields, const std::string& outputName) {
  auto value = [&](const char* key) {
    const auto found = std::find_if(fields.begin(), fields.end(), [&](const auto& f) { return f.first == key; });
    return found == fields.end() ? std::string() : found->second;
  };
  // The stub's own version resource is replaced: without a version the
  // installer's would read 0.0.0.0.
  if (value("ProductVersion").empty() && value("FileVersion").empty())
    throw PackError("the version information gives no version, so the installer's would read 0.0.0.0; give "
                    "--product-version or --file-version (or ProductVersion in --version-info)");
  // Explorer shows the description; one version stands for both.
  if (value("FileDescription").empty() && !value("ProductName").empty())
    Set(fields, "FileDescription", value("ProductName"));
  kestlib::VersionInfo info;
  const std::string productVersion = value("ProductVersion");
  const auto productNumbers = LeadingVersion(productVersion);
  if (!productVersion.empty() && !productNumbers && value("FileVersion").empty())
    throw PackError("ProductVersion \"" + productVersion + "\" does not begin with a version number; give " +
                    "--file-version X.Y.Z.W as well");
  if (value("FileVersion").empty() && productNumbers) Set(fields, "FileVersion", kestlib::ParseFileVersion(productVersion) ? productVersion : VersionString(*productNumbers));
  if (!value("FileVersion").empty()) info.fileVersion = Version("FileVersion", value("FileVersion"));
  if (productVersion.empty() && !value("FileVersion").empty()) Set(fields, "ProductVersion", value("FileVersion"));
  info.productVersion = productNumbers ? *productNumbers : info.fileVersion;
  if (value("OriginalFilename").empty()) Set(fields, "OriginalFilename", outputName);

  for (const std::string& key : VersionKeys()) {
    const std::string text = value(key.c_str());
    if (!text.empty())
      info.strings.emplace_back(boost::locale::conv::utf_to_utf<char16_t>(key),
                                boost::locale::conv::utf_to_utf<char16_t>(text));
  }
  std::vector<std::uint8_t> resource = kestlib::BuildVersionInfo(info);
  RequireVersionFits(resource, fields);
  return resource;
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

  constexpr std::uint64_t kIconLimit = 16 << 20;
  if (const std::uint64_t size = InputFileSize(path, "icon"); size > kIconLimit)
    throw PackError("icon " + Quoted(path) + " is " + std::to_string(size) + " bytes; sfxpack takes an icon file of at "
                    "most 16 MiB; an installer icon is far smaller");
  const std::vector<std::uint8_t> bytes = ReadFilePrefix(path, kIconLimit, "icon");
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
