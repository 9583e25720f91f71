#include "Forwarding.h"

#include <algorithm>
#include <iomanip>

#include "Errors.h"
#include "FileIo.h"
#include "core/pe/PeImage.h"

namespace sfxpack {
namespace {

using forwarded::Utf16FromUtf8;
using forwarded::Utf8FromUtf16;

std::vector<std::u16string> SlotNames(const std::vector<std::uint8_t>& bytes, const kestlib::PeImage& image) {
  std::vector<std::u16string> names = kestlib::ListResourceNames(
      bytes.data(), bytes.size(), image, kestlib::kResourceTypeRcdata);
  names.erase(std::remove_if(names.begin(), names.end(),
                             [](const std::u16string& name) { return !forwarded::IsSlotName(name); }),
              names.end());
  return names;
}

std::string JoinNames(const std::vector<std::u16string>& names) {
  std::string text;
  for (const std::u16string& name : names) text += (text.empty() ? "" : ", ") + Utf8FromUtf16(name);
  return text.empty() ? "none" : text;
}

bool BreaksLine(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

void Row(std::ostream& out, const char* label) { out << std::left << std::setw(21) << label; }

}  // namespace

void WriteSlots(StubImage& stub, const std::vector<std::pair<std::string, std::string>>& slots) {
  // Slot values change bytes, never the structure the image describes.
  const kestlib::PeImage& image = stub.image;
  const std::vector<std::u16string> names = SlotNames(stub.bytes, image);
  for (const auto& [name, value] : slots) {
    const std::u16string wide = Utf16FromUtf8(name);
    if (std::find(names.begin(), names.end(), wide) == names.end())
      throw PackError("the stub has no data slot \"" + name + "\" (its data slots: " + JoinNames(names) + ")");
    if (!forwarded::IsUtf8(value) || BreaksLine(value))
      throw PackError("the value for data slot " + name + " is not UTF-8 text on one line");
    const auto slot = kestlib::LocateResource(stub.bytes.data(), stub.bytes.size(), image,
                                              kestlib::kResourceTypeRcdata, wide);
    if (!slot) throw PackError("the data slot " + name + " has no data in the stub");
    if (value.size() > slot->size)
      throw PackError("the value for data slot " + name + " has " + std::to_string(value.size()) +
                      " bytes; the slot holds " + std::to_string(slot->size));
    // A value that fills the slot needs no terminating zero.
    const auto at = stub.bytes.begin() + slot->offset;
    std::fill(at, at + slot->size, std::uint8_t{0});
    std::copy(value.begin(), value.end(), at);
  }
}

std::vector<std::uint8_t> TrailingBlockFor(const std::string& text, const StubImage& stub,
                                           std::ostream& notes) {
  if (!forwarded::IsUtf8(text)) throw PackError("the trailing data is not UTF-8 text");
  forwarded::Values values;
  if (!forwarded::ParseBlockData(Utf16FromUtf8(text), values))
    throw PackError("the trailing data holds a \"%\" that is not followed by two hexadecimal digits");
  for (const auto& [name, value] : values) {
    if (!forwarded::IsForwardable(name, value))
      throw PackError("the trailing data entry \"" + Utf8FromUtf16(name) +
                      "\" cannot be forwarded: its name is empty or holds \"=\", or it breaks a line");
    if (value.empty())
      notes << "sfxpack: note: the trailing data entry \"" << Utf8FromUtf16(name)
            << "\" has an empty value; the installer drops it\n";
  }
  std::vector<std::uint8_t> block = forwarded::MakeTrailingBlock(forwarded::EncodeBlockData(values));
  if (block.size() > forwarded::kTrailingWindow)
    throw PackError("the trailing data block has " + std::to_string(block.size()) +
                    " bytes; the installer finds it only within the last " +
                    std::to_string(forwarded::kTrailingWindow));
  const std::vector<std::u16string> slots = SlotNames(stub.bytes, stub.image);
  if (!slots.empty())
    notes << "sfxpack: note: the stub has data slots (" << JoinNames(slots)
          << "); the installer forwards them and not the trailing data block\n";
  return block;
}

void RequireTrailingWindow(std::uint64_t fileSize) {
  if (fileSize < forwarded::kTrailingWindow)
    throw PackError("the installer would have " + std::to_string(fileSize) +
                    " bytes; a trailing data block is read only from a file of at least " +
                    std::to_string(forwarded::kTrailingWindow) + " bytes");
}

ForwardedReport ReadForwarded(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes,
                              const kestlib::PeImage& image, std::uint64_t fileSize) {
  ForwardedReport report;
  for (std::u16string& name : SlotNames(bytes, image)) {
    const auto slot = kestlib::LocateResource(bytes.data(), bytes.size(), image,
                                              kestlib::kResourceTypeRcdata, name);
    std::u16string value = slot ? forwarded::SlotText(bytes.data() + slot->offset, slot->size) : u"";
    report.slots.emplace_back(std::move(name), std::move(value));
  }
  if (fileSize >= forwarded::kTrailingWindow) {
    const std::vector<std::uint8_t> tail = ReadFileSuffix(path, forwarded::kTrailingWindow, "file");
    report.block = forwarded::ParseTrailingBlock(tail.data(), tail.size(), report.blockValues);
  }
  if (const auto table = kestlib::CertificateTable(image)) {
    report.tag = forwarded::TagResult::Damaged;
    if (std::uint64_t{table->address} + table->size <= fileSize) {
      const std::vector<std::uint8_t> bytes = ReadFileRange(path, table->address, table->size, "file");
      report.tag = forwarded::ReadSignatureTag(bytes.data(), bytes.size(), report.tagValues);
    }
  }
  return report;
}

namespace {

std::string Entries(std::size_t count) { return std::to_string(count) + (count == 1 ? " entry" : " entries"); }

}  // namespace

void PrintForwarded(const ForwardedReport& r, std::ostream& out) {
  Row(out, "data slots");
  out << (r.slots.empty() ? "none" : std::to_string(r.slots.size())) << '\n';
  for (const auto& [name, value] : r.slots) out << "  " << Utf8FromUtf16(name) << '=' << Utf8FromUtf16(value) << '\n';
  Row(out, "trailing data block");
  if (r.block == forwarded::BlockResult::NotFound)
    out << "none\n";
  else if (r.block == forwarded::BlockResult::Invalid)
    out << "invalid (no end marker or a broken escape)\n";
  else
    out << Entries(r.blockValues.size()) << '\n';
  for (const auto& [name, value] : r.blockValues)
    out << "  " << Utf8FromUtf16(name) << '=' << Utf8FromUtf16(value) << '\n';
  Row(out, "signature tag");
  if (!r.tag)
    out << "none (not signed)\n";
  else if (*r.tag == forwarded::TagResult::NoTag)
    out << "none\n";
  else if (*r.tag == forwarded::TagResult::Damaged)
    out << "damaged (the installer ignores it)\n";
  else
    out << Entries(r.tagValues.size()) << '\n';
  for (const auto& [name, value] : r.tagValues)
    out << "  " << Utf8FromUtf16(name) << '=' << Utf8FromUtf16(value) << '\n';
  Row(out, "forwarded from");
  const bool tagged = r.tag == forwarded::TagResult::Read;
  if (!r.slots.empty())
    out << "the data slots" << (tagged ? ", then the signature tag" : "") << '\n';
  else if (r.block == forwarded::BlockResult::Read)
    out << "the trailing data block" << (tagged ? ", then the signature tag" : "") << '\n';
  else
    out << (tagged ? "the signature tag\n" : "nothing\n");
}

}  // namespace sfxpack
