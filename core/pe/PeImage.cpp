#include "core/pe/PeImage.h"

#include <algorithm>
#include <limits>

namespace kestlib {
namespace {

constexpr std::uint16_t kDosSignature = 0x5A4D;    // "MZ"
constexpr std::uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr std::size_t kDosHeaderSize = 64;
constexpr std::size_t kFileHeaderSize = 20;
// The optional header up to the data directories, and where it counts them.
constexpr std::size_t kPe32FixedSize = 96;
constexpr std::size_t kPe32PlusFixedSize = 112;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kMaxDirectories = 16;
constexpr std::uint32_t kSubdirectoryFlag = 0x80000000u;
constexpr std::uint32_t kNameFlag = 0x80000000u;
constexpr std::uint32_t kMinFileAlignment = 512, kMaxFileAlignment = 64 * 1024;

// A byte range with little-endian reads. Offsets are 64-bit so that sums of
// two hostile 32-bit fields cannot wrap before they are checked.
struct Bytes {
  const std::uint8_t* data;
  std::size_t size;

  bool Has(std::uint64_t offset, std::uint64_t length) const {
    return offset <= size && length <= size - offset;
  }
  // Callers check Has first.
  std::uint16_t U16(std::uint64_t o) const {
    return static_cast<std::uint16_t>(data[o] | data[o + 1] << 8);
  }
  std::uint32_t U32(std::uint64_t o) const {
    return static_cast<std::uint32_t>(U16(o)) | static_cast<std::uint32_t>(U16(o + 2)) << 16;
  }
};

PeSection ReadSection(const Bytes& b, std::uint64_t o) {
  PeSection s;
  const char* name = reinterpret_cast<const char*>(b.data + o);
  s.name.assign(name, std::find(name, name + 8, '\0'));
  s.virtualSize = b.U32(o + 8);
  s.virtualAddress = b.U32(o + 12);
  s.rawSize = b.U32(o + 16);
  s.rawOffset = b.U32(o + 20);
  return s;
}

// The part of a section that is backed by file data: the raw data, but no
// more than the section's size in memory when that is given.
std::uint32_t FileBackedSpan(const PeSection& s) {
  return s.virtualSize != 0 ? std::min(s.virtualSize, s.rawSize) : s.rawSize;
}

const PeSection* SectionHolding(const PeImage& image, std::uint32_t rva, std::uint32_t length) {
  for (const PeSection& s : image.sections) {
    if (rva >= s.virtualAddress &&
        std::uint64_t{rva} - s.virtualAddress + length <= FileBackedSpan(s))
      return &s;
  }
  return nullptr;
}

// The resource tree: offsets inside it are relative to its root and must
// stay within the file data of the section that holds the root.
struct ResourceTree {
  Bytes bytes;
  std::uint64_t root;
  std::uint64_t end;

  bool Has(std::uint32_t rel, std::uint64_t length) const {
    return root + rel <= end && length <= end - (root + rel);
  }
};

struct DirEntry {
  std::uint32_t name;
  std::uint32_t target;
};

std::optional<ResourceTree> OpenResourceTree(const Bytes& b, const PeImage& image) {
  const DataDirectory dir = GetDirectory(image, kDirectoryResource);
  if (dir.address == 0) return std::nullopt;
  const PeSection* s = SectionHolding(image, dir.address, 0);
  if (!s) return std::nullopt;
  const std::uint64_t root = std::uint64_t{s->rawOffset} + (dir.address - s->virtualAddress);
  const std::uint64_t end = std::min<std::uint64_t>(
      std::uint64_t{s->rawOffset} + FileBackedSpan(*s), b.size);
  if (root >= end) return std::nullopt;
  return ResourceTree{b, root, end};
}

// The entries of the directory at rel, when the directory lies in the tree.
std::optional<std::vector<DirEntry>> ReadDirectory(const ResourceTree& t, std::uint32_t rel) {
  if (!t.Has(rel, 16)) return std::nullopt;
  const std::uint64_t o = t.root + rel;
  const std::size_t count = std::size_t{t.bytes.U16(o + 12)} + t.bytes.U16(o + 14);
  if (!t.Has(rel, 16 + std::uint64_t{count} * 8)) return std::nullopt;
  std::vector<DirEntry> entries(count);
  for (std::size_t i = 0; i < count; ++i)
    entries[i] = {t.bytes.U32(o + 16 + i * 8), t.bytes.U32(o + 20 + i * 8)};
  return entries;
}

std::optional<std::uint32_t> Subdirectory(const DirEntry& e) {
  if (!(e.target & kSubdirectoryFlag)) return std::nullopt;
  return e.target & ~kSubdirectoryFlag;
}

// The directory of the names of one type, found by the type's id.
std::optional<std::vector<DirEntry>> TypeDirectory(const ResourceTree& t, std::uint16_t typeId) {
  const auto types = ReadDirectory(t, 0);
  if (!types) return std::nullopt;
  for (const DirEntry& e : *types) {
    if (e.name != typeId) continue;
    const auto sub = Subdirectory(e);
    return sub ? ReadDirectory(t, *sub) : std::nullopt;
  }
  return std::nullopt;
}

std::optional<std::u16string> ReadName(const ResourceTree& t, const DirEntry& e) {
  if (!(e.name & kNameFlag)) return std::nullopt;
  const std::uint32_t rel = e.name & ~kNameFlag;
  if (!t.Has(rel, 2)) return std::nullopt;
  const std::uint64_t o = t.root + rel;
  const std::uint16_t length = t.bytes.U16(o);
  if (!t.Has(rel, 2 + std::uint64_t{length} * 2)) return std::nullopt;
  std::u16string name(length, u'\0');
  for (std::size_t i = 0; i < length; ++i)
    name[i] = static_cast<char16_t>(t.bytes.U16(o + 2 + i * 2));
  return name;
}

char16_t FoldAscii(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
}

bool SameName(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char16_t x, char16_t y) { return FoldAscii(x) == FoldAscii(y); });
}

// The data of the first language below a name entry. The tree has exactly
// three levels, so a pointer back up the tree ends here instead of looping.
std::optional<ResourceLocation> FirstLanguageData(const Bytes& b, const PeImage& image,
                                                  const ResourceTree& t, const DirEntry& e) {
  const auto languageDir = Subdirectory(e);
  if (!languageDir) return std::nullopt;
  const auto languages = ReadDirectory(t, *languageDir);
  if (!languages || languages->empty() || Subdirectory(languages->front())) return std::nullopt;
  const std::uint32_t rel = languages->front().target;
  if (!t.Has(rel, 16)) return std::nullopt;
  const std::uint32_t rva = t.bytes.U32(t.root + rel);
  const std::uint32_t size = t.bytes.U32(t.root + rel + 4);
  const auto offset = RvaToOffset(image, rva, size);
  if (!offset || !b.Has(*offset, size)) return std::nullopt;
  return ResourceLocation{*offset, size};
}

std::optional<ResourceKey> KeyOf(const ResourceTree& t, const DirEntry& e) {
  if (!(e.name & kNameFlag)) {
    if (e.name > 0xFFFF) return std::nullopt;
    return ResourceKey{static_cast<std::uint16_t>(e.name), {}};
  }
  auto name = ReadName(t, e);
  if (!name || name->empty()) return std::nullopt;
  return ResourceKey{0, std::move(*name)};
}

// The leaves below one name entry; false when any is malformed.
bool AddLanguages(const Bytes& b, const PeImage& image, const ResourceTree& t, const ResourceKey& type,
                  const ResourceKey& name, const DirEntry& e, std::vector<ResourceItem>& items) {
  const auto languageDir = Subdirectory(e);
  const auto languages = languageDir ? ReadDirectory(t, *languageDir) : std::nullopt;
  if (!languages) return false;
  for (const DirEntry& language : *languages) {
    if (Subdirectory(language) || language.name > 0xFFFF || !t.Has(language.target, 16)) return false;
    const std::uint64_t o = t.root + language.target;
    const std::uint32_t size = t.bytes.U32(o + 4);
    const auto offset = RvaToOffset(image, t.bytes.U32(o), size);
    if (!offset || !b.Has(*offset, size)) return false;
    items.push_back({type, name, static_cast<std::uint16_t>(language.name), t.bytes.U32(o + 8),
                     ResourceLocation{*offset, size}});
  }
  return true;
}

}  // namespace

std::optional<std::vector<ResourceItem>> ListResources(const std::uint8_t* data, std::size_t size,
                                                       const PeImage& image) {
  if (GetDirectory(image, kDirectoryResource).address == 0) return std::vector<ResourceItem>{};
  const Bytes b{data, size};
  const auto tree = OpenResourceTree(b, image);
  const auto types = tree ? ReadDirectory(*tree, 0) : std::nullopt;
  if (!types) return std::nullopt;
  std::vector<ResourceItem> items;
  for (const DirEntry& typeEntry : *types) {
    const auto type = KeyOf(*tree, typeEntry);
    const auto nameDir = Subdirectory(typeEntry);
    const auto names = nameDir ? ReadDirectory(*tree, *nameDir) : std::nullopt;
    if (!type || !names) return std::nullopt;
    for (const DirEntry& nameEntry : *names) {
      const auto name = KeyOf(*tree, nameEntry);
      if (!name || !AddLanguages(b, image, *tree, *type, *name, nameEntry, items)) return std::nullopt;
    }
  }
  return items;
}

const char* DescribePeError(PeError error) {
  switch (error) {
    case PeError::None: return "no error";
    case PeError::NoDosHeader: return "no DOS header (\"MZ\")";
    case PeError::PeHeaderOutOfRange: return "the PE header offset points outside the file";
    case PeError::NoPeSignature: return "no PE signature";
    case PeError::UnknownOptionalHeader: return "neither a PE32 nor a PE32+ image";
    case PeError::SectionTableOutOfRange: return "the section table lies outside the file";
    case PeError::BadAlignment:
      return "its alignments are not ones the PE format allows (FileAlignment a power of two from 512 to "
             "64 KiB, SectionAlignment a power of two of at least FileAlignment)";
  }
  return "unknown PE error";
}

std::string MachineName(std::uint16_t machine) {
  switch (machine) {
    case kMachineI386: return "x86";
    case kMachineAmd64: return "x64";
    case kMachineArm64: return "ARM64";
    case 0x1C4: return "ARM";
    case 0x200: return "IA-64";
  }
  static const char digits[] = "0123456789abcdef";
  std::string hex = "machine 0x";
  for (int shift = 12; shift >= 0; shift -= 4) hex += digits[(machine >> shift) & 0xF];
  return hex;
}

PeError ParsePeImage(const std::uint8_t* data, std::size_t size, PeImage& image) {
  const Bytes b{data, size};
  if (!b.Has(0, kDosHeaderSize) || b.U16(0) != kDosSignature) return PeError::NoDosHeader;
  const std::uint64_t pe = b.U32(60);
  if (!b.Has(pe, 4)) return PeError::PeHeaderOutOfRange;
  if (b.U32(pe) != kPeSignature) return PeError::NoPeSignature;
  if (!b.Has(pe + 4, kFileHeaderSize)) return PeError::PeHeaderOutOfRange;

  const std::uint64_t opt = pe + 4 + kFileHeaderSize;
  const std::uint16_t optSize = b.U16(pe + 20);
  if (!b.Has(opt, 2)) return PeError::UnknownOptionalHeader;
  const std::uint16_t magic = b.U16(opt);
  if (magic != kPe32Magic && magic != kPe32PlusMagic) return PeError::UnknownOptionalHeader;
  const std::size_t fixedSize = magic == kPe32Magic ? kPe32FixedSize : kPe32PlusFixedSize;
  if (optSize < fixedSize || !b.Has(opt, optSize)) return PeError::UnknownOptionalHeader;
  // Sizes rounded up to hostile alignments would reach gigabytes.
  const std::uint32_t sectionAlignment = b.U32(opt + 32), fileAlignment = b.U32(opt + 36);
  const auto powerOfTwo = [](std::uint32_t v) { return v != 0 && (v & (v - 1)) == 0; };
  if (!powerOfTwo(fileAlignment) || fileAlignment < kMinFileAlignment || fileAlignment > kMaxFileAlignment ||
      !powerOfTwo(sectionAlignment) || sectionAlignment < fileAlignment)
    return PeError::BadAlignment;

  const std::uint16_t sectionCount = b.U16(pe + 6);
  const std::uint64_t table = opt + optSize;
  if (!b.Has(table, std::uint64_t{sectionCount} * kSectionHeaderSize))
    return PeError::SectionTableOutOfRange;

  PeImage result;
  result.peOffset = static_cast<std::uint32_t>(pe);
  result.machine = b.U16(pe + 4);
  result.magic = magic;
  result.optionalHeader = static_cast<std::uint32_t>(opt);
  result.directoryTable = static_cast<std::uint32_t>(opt + fixedSize);
  result.sizeOfHeaders = b.U32(opt + 60);
  result.sectionAlignment = sectionAlignment;
  result.fileAlignment = fileAlignment;
  const std::size_t directoryCount =
      std::min<std::size_t>({b.U32(opt + fixedSize - 4), kMaxDirectories, (optSize - fixedSize) / 8});
  for (std::size_t i = 0; i < directoryCount; ++i) {
    const std::uint64_t o = result.directoryTable + i * 8;
    result.directories.push_back({b.U32(o), b.U32(o + 4)});
  }
  for (std::size_t i = 0; i < sectionCount; ++i)
    result.sections.push_back(ReadSection(b, table + i * kSectionHeaderSize));
  image = std::move(result);
  return PeError::None;
}

std::uint64_t ImageEnd(const PeImage& image) {
  std::uint64_t end = image.sizeOfHeaders;
  for (const PeSection& s : image.sections) {
    if (s.rawSize != 0) end = std::max(end, std::uint64_t{s.rawOffset} + s.rawSize);
  }
  return end;
}

HybridCode FindHybridCode(const std::uint8_t* data, std::size_t size, const PeImage& image) {
  // In the 64-bit load configuration: its own size first, and the address
  // of the hybrid metadata at this offset.
  constexpr unsigned kDirectoryLoadConfig = 10;
  constexpr std::uint32_t kMetadataField = 200;
  constexpr std::uint32_t kMetadataEnd = kMetadataField + 8;
  if (image.magic != kPe32PlusMagic) return HybridCode::None;
  const DataDirectory config = GetDirectory(image, kDirectoryLoadConfig);
  if (config.address == 0 || config.size < kMetadataEnd) return HybridCode::None;
  const auto offset = RvaToOffset(image, config.address, kMetadataEnd);
  const Bytes b{data, size};
  if (!offset || !b.Has(*offset, kMetadataEnd) || b.U32(*offset) < kMetadataEnd) return HybridCode::None;
  if (b.U32(*offset + kMetadataField) == 0 && b.U32(*offset + kMetadataField + 4) == 0) return HybridCode::None;
  if (image.machine == kMachineAmd64) return HybridCode::Arm64EC;
  if (image.machine == kMachineArm64) return HybridCode::Arm64X;
  return HybridCode::None;
}

DataDirectory GetDirectory(const PeImage& image, unsigned index) {
  return index < image.directories.size() ? image.directories[index] : DataDirectory{};
}

std::optional<DataDirectory> CertificateTable(const PeImage& image) {
  const DataDirectory d = GetDirectory(image, kDirectorySecurity);
  if (d.address == 0) return std::nullopt;
  return d;
}

std::optional<std::uint32_t> RvaToOffset(const PeImage& image, std::uint32_t rva,
                                         std::uint32_t length) {
  const PeSection* s = SectionHolding(image, rva, length);
  if (!s) return std::nullopt;
  const std::uint64_t offset = std::uint64_t{s->rawOffset} + (rva - s->virtualAddress);
  if (offset + length > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  return static_cast<std::uint32_t>(offset);
}

std::optional<ResourceLocation> LocateResource(const std::uint8_t* data, std::size_t size,
                                               const PeImage& image, std::uint16_t typeId,
                                               std::u16string_view name) {
  const Bytes b{data, size};
  const auto tree = OpenResourceTree(b, image);
  if (!tree) return std::nullopt;
  const auto names = TypeDirectory(*tree, typeId);
  if (!names) return std::nullopt;
  for (const DirEntry& e : *names) {
    const auto entryName = ReadName(*tree, e);
    if (entryName && SameName(*entryName, name)) return FirstLanguageData(b, image, *tree, e);
  }
  return std::nullopt;
}

std::vector<std::u16string> ListResourceNames(const std::uint8_t* data, std::size_t size,
                                              const PeImage& image, std::uint16_t typeId) {
  std::vector<std::u16string> result;
  const auto tree = OpenResourceTree(Bytes{data, size}, image);
  if (!tree) return result;
  const auto names = TypeDirectory(*tree, typeId);
  if (!names) return result;
  for (const DirEntry& e : *names) {
    if (auto name = ReadName(*tree, e)) result.push_back(std::move(*name));
  }
  return result;
}

}  // namespace kestlib
