#include "core/pe/ResourceSection.h"

#include <algorithm>
#include <map>

namespace kestlib {
namespace {

constexpr std::uint32_t kSubdirectoryFlag = 0x80000000u;
constexpr std::uint32_t kNameFlag = 0x80000000u;

void Put16(std::vector<std::uint8_t>& out, std::size_t o, std::uint32_t v) {
  out[o] = static_cast<std::uint8_t>(v);
  out[o + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::vector<std::uint8_t>& out, std::size_t o, std::uint32_t v) {
  Put16(out, o, v & 0xFFFF);
  Put16(out, o + 2, v >> 16);
}
// a is a power of two: ParsePeImage checked it.
std::uint64_t AlignUp(std::uint64_t v, std::uint32_t a) { return (v + a - 1) / a * a; }

// Windows requires named entries first, by name, then ids ascending.
struct KeyLess {
  bool operator()(const ResourceKey& a, const ResourceKey& b) const {
    if (a.name.empty() != b.name.empty()) return !a.name.empty();
    return a.name.empty() ? a.id < b.id : a.name < b.name;
  }
};

using Languages = std::map<std::uint16_t, const Resource*>;
using Names = std::map<ResourceKey, Languages, KeyLess>;
using Types = std::map<ResourceKey, Names, KeyLess>;

class SectionWriter {
 public:
  SectionWriter(const Types& types, std::uint32_t rva) : types_(types), rva_(rva) {}

  std::vector<std::uint8_t> Write() {
    Plan();
    out_.assign(end_, 0);
    std::size_t typeIndex = 0, nameIndex = 0, leafIndex = 0;
    Directory(0, types_);
    std::size_t slot = 0;
    for (const auto& [type, names] : types_) {
      Entry(16 + 8 * slot++, type, kSubdirectoryFlag | typeDirs_[typeIndex]);
      Directory(typeDirs_[typeIndex], names);
      std::size_t nameSlot = 0;
      for (const auto& [name, languages] : names) {
        Entry(typeDirs_[typeIndex] + 16 + 8 * nameSlot++, name, kSubdirectoryFlag | nameDirs_[nameIndex]);
        Directory(nameDirs_[nameIndex], languages);
        std::size_t languageSlot = 0;
        for (const auto& [language, resource] : languages) {
          const std::size_t entry = nameDirs_[nameIndex] + 16 + 8 * languageSlot++;
          Put32(out_, entry, language);
          Put32(out_, entry + 4, leaves_[leafIndex]);
          Put32(out_, leaves_[leafIndex], rva_ + data_[leafIndex]);
          Put32(out_, leaves_[leafIndex] + 4, static_cast<std::uint32_t>(resource->data.size()));
          Put32(out_, leaves_[leafIndex] + 8, resource->codePage);
          std::copy(resource->data.begin(), resource->data.end(), out_.begin() + data_[leafIndex]);
          ++leafIndex;
        }
        ++nameIndex;
      }
      ++typeIndex;
    }
    return out_;
  }

 private:
  // Directories, then data entries, then names, then the data, each
  // resource's data 8-byte aligned.
  void Plan() {
    std::size_t o = 16 + 8 * types_.size();
    for (const auto& [type, names] : types_) {
      typeDirs_.push_back(static_cast<std::uint32_t>(o));
      o += 16 + 8 * names.size();
    }
    for (const auto& [type, names] : types_)
      for (const auto& [name, languages] : names) {
        nameDirs_.push_back(static_cast<std::uint32_t>(o));
        o += 16 + 8 * languages.size();
      }
    for (const auto& [type, names] : types_)
      for (const auto& [name, languages] : names)
        for (std::size_t i = 0; i < languages.size(); ++i, o += 16) leaves_.push_back(static_cast<std::uint32_t>(o));
    auto addName = [&](const ResourceKey& key) {
      if (key.name.empty() || strings_.count(key.name)) return;
      strings_[key.name] = static_cast<std::uint32_t>(o);
      o += 2 + 2 * key.name.size();
    };
    for (const auto& [type, names] : types_) {
      addName(type);
      for (const auto& [name, languages] : names) addName(name);
    }
    for (const auto& [type, names] : types_)
      for (const auto& [name, languages] : names)
        for (const auto& [language, resource] : languages) {
          o = AlignUp(o, 8);
          data_.push_back(static_cast<std::uint32_t>(o));
          o += resource->data.size();
        }
    end_ = o;
  }

  // Characteristics, time stamp and version stay 0: equal inputs give
  // equal bytes.
  template <typename Map>
  void Directory(std::size_t o, const Map& entries) {
    std::uint32_t named = 0;
    for (const auto& entry : entries) named += KeyOf(entry.first).name.empty() ? 0 : 1;
    Put16(out_, o + 12, named);
    Put16(out_, o + 14, static_cast<std::uint32_t>(entries.size()) - named);
  }
  static const ResourceKey& KeyOf(const ResourceKey& key) { return key; }
  static ResourceKey KeyOf(std::uint16_t language) { return ResourceKey{language, {}}; }

  void Entry(std::size_t o, const ResourceKey& key, std::uint32_t target) {
    if (key.name.empty()) {
      Put32(out_, o, key.id);
    } else {
      const std::uint32_t at = strings_.at(key.name);
      Put32(out_, o, kNameFlag | at);
      Put16(out_, at, static_cast<std::uint32_t>(key.name.size()));
      for (std::size_t i = 0; i < key.name.size(); ++i) Put16(out_, at + 2 + 2 * i, key.name[i]);
    }
    Put32(out_, o + 4, target);
  }

  const Types& types_;
  std::uint32_t rva_;
  std::vector<std::uint8_t> out_;
  std::vector<std::uint32_t> typeDirs_, nameDirs_, leaves_, data_;
  std::map<std::u16string, std::uint32_t> strings_;
  std::size_t end_ = 0;
};

}  // namespace

std::optional<std::vector<Resource>> ReadResources(const std::uint8_t* data, std::size_t size) {
  PeImage image;
  if (ParsePeImage(data, size, image) != PeError::None) return std::nullopt;
  const auto items = ListResources(data, size, image);
  if (!items) return std::nullopt;
  std::vector<Resource> resources;
  for (const ResourceItem& item : *items)
    resources.push_back({item.type, item.name, item.language, item.codePage,
                         std::vector<std::uint8_t>(data + item.data.offset, data + item.data.offset + item.data.size)});
  return resources;
}

std::optional<std::vector<std::uint8_t>> ReplaceResources(const std::uint8_t* data, std::size_t size,
                                                          const std::vector<Resource>& resources) {
  PeImage image;
  if (ParsePeImage(data, size, image) != PeError::None || image.sections.empty()) return std::nullopt;
  const DataDirectory dir = GetDirectory(image, kDirectoryResource);
  const DataDirectory relocations = GetDirectory(image, kDirectoryBaseRelocation);
  // The resources last, or followed only by the base relocations, which
  // nothing in the image refers to but their directory entry: they move
  // behind the new resources.
  const bool relocationsLast = image.sections.size() >= 2 && relocations.address != 0 &&
                               relocations.address == image.sections.back().virtualAddress;
  const std::size_t index = image.sections.size() - (relocationsLast ? 2 : 1);
  const PeSection& rsrc = image.sections[index];
  const auto before = [&](const PeSection& a, const PeSection& b) {
    return a.virtualAddress < b.virtualAddress && std::uint64_t{a.rawOffset} + a.rawSize <= b.rawOffset;
  };
  const bool inPlace = std::all_of(image.sections.begin(), image.sections.begin() + static_cast<std::ptrdiff_t>(index),
                                   [&](const PeSection& s) { return before(s, rsrc); }) &&
                       (!relocationsLast || before(rsrc, image.sections.back()));
  if (!inPlace || dir.address != rsrc.virtualAddress || image.directories.size() <= kDirectoryResource ||
      CertificateTable(image) || ImageEnd(image) != size || rsrc.rawOffset >= size)
    return std::nullopt;

  Types types;
  for (const Resource& r : resources) types[r.type][r.name][r.language] = &r;
  const std::vector<std::uint8_t> section = SectionWriter(types, rsrc.virtualAddress).Write();

  const std::uint32_t optional = image.optionalHeader;
  const std::uint64_t rawSize = AlignUp(section.size(), image.fileAlignment);
  std::uint64_t imageSize = AlignUp(std::uint64_t{rsrc.virtualAddress} + section.size(), image.sectionAlignment);
  if (std::uint64_t{rsrc.rawOffset} + rawSize > 0xFFFFFFFFu || imageSize > 0xFFFFFFFFu) return std::nullopt;

  std::vector<std::uint8_t> out(data, data + rsrc.rawOffset);
  out.insert(out.end(), section.begin(), section.end());
  out.resize(static_cast<std::size_t>(rsrc.rawOffset + rawSize), 0);
  const std::size_t headers = optional + (data[image.peOffset + 20] | data[image.peOffset + 21] << 8);
  const std::size_t header = headers + 40 * index;
  Put32(out, header + 8, static_cast<std::uint32_t>(section.size()));
  Put32(out, header + 16, static_cast<std::uint32_t>(rawSize));
  if (relocationsLast) {
    const PeSection& reloc = image.sections.back();
    const std::uint64_t address = imageSize;
    const std::uint64_t rawOffset = out.size();
    imageSize = AlignUp(address + std::max(reloc.virtualSize, reloc.rawSize), image.sectionAlignment);
    if (address > 0xFFFFFFFFu || rawOffset + reloc.rawSize > 0xFFFFFFFFu) return std::nullopt;
    out.insert(out.end(), data + reloc.rawOffset, data + reloc.rawOffset + reloc.rawSize);
    Put32(out, header + 40 + 12, static_cast<std::uint32_t>(address));
    Put32(out, header + 40 + 20, static_cast<std::uint32_t>(rawOffset));
    Put32(out, image.directoryTable + 8 * kDirectoryBaseRelocation, static_cast<std::uint32_t>(address));
  }
  if (out.size() > 0xFFFFFFFFu || imageSize > 0xFFFFFFFFu) return std::nullopt;
  Put32(out, optional + 56, static_cast<std::uint32_t>(imageSize));
  Put32(out, optional + 64, 0);
  Put32(out, image.directoryTable + 8 * kDirectoryResource + 4, static_cast<std::uint32_t>(section.size()));
  return out;
}

}  // namespace kestlib
