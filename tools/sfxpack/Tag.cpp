#include "Tag.h"

#include <algorithm>
#include <fstream>
#include <optional>

#include "Errors.h"
#include "FileIo.h"
#include "Interrupts.h"
#include "Signatures.h"
#include "core/handoff/SignatureTag.h"
#include "core/pe/PeChecksum.h"
#include "core/pe/PeImage.h"

namespace sfxpack {
namespace {

using forwarded::Utf16FromUtf8;

// Enough for the headers of any installer sfxpack builds.
constexpr std::uint64_t kHeaderWindow = 1 << 20;
constexpr std::size_t kDirectoryEntry = 8;
constexpr std::size_t kChunk = 1 << 20;

forwarded::Values ValuesFor(const TagOptions& options, std::ostream& notes) {
  forwarded::Values values;
  for (const auto& [name, value] : options.values) {
    if (!forwarded::IsUtf8(value)) throw PackError("the value of " + name + " is not UTF-8 text");
    const std::u16string wideName = Utf16FromUtf8(name), wideValue = Utf16FromUtf8(value);
    if (!forwarded::IsForwardable(wideName, u""))
      throw PackError("the name \"" + name + "\" is empty or holds \"=\" or a line break; the setup could not read it");
    if (!forwarded::IsForwardable(wideName, wideValue))
      throw PackError("the value of " + name + " breaks a line (a CR, LF or NUL); the setup could not read it");
    if (value.empty()) notes << "sfxpack: note: " << name << " has an empty value; the installer drops it\n";
    values[wideName] = wideValue;
  }
  return values;
}

void PutU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t GetU32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | bytes[at + i];
  return value;
}

// The installer's headers up to its security directory entry, with the new
// table size and a zero checksum, as the checksum sums them; the table
// before and after, and the checksum the file records.
struct Tagged {
  std::vector<std::uint8_t> header;
  std::uint32_t tableOffset = 0;
  std::uint32_t checksumOffset = 0;
  std::uint32_t recordedChecksum = 0;
  std::vector<std::uint8_t> oldTable, table;
};

Tagged Prepare(const TagOptions& options, std::ostream& notes) {
  const forwarded::Values values = ValuesFor(options, notes);
  const std::uint64_t fileSize = InputFileSize(options.file, "installer");
  std::vector<std::uint8_t> bytes = ReadFilePrefix(options.file, kHeaderWindow, "installer");
  kestlib::PeImage image;
  const kestlib::PeError error = kestlib::ParsePeImage(bytes.data(), bytes.size(), image);
  if (error != kestlib::PeError::None)
    throw PackError(Quoted(options.file) + " is not a Windows program (PE image): " +
                    kestlib::DescribePeError(error));
  const auto table = kestlib::CertificateTable(image);
  if (!table || table->size == 0)
    throw PackError(Quoted(options.file) + " is not signed: tag writes into a signature. For an " +
                    "unsigned installer, give the values to build with --slot");
  const std::size_t entry = image.directoryTable + kestlib::kDirectorySecurity * kDirectoryEntry;
  Tagged t;
  t.tableOffset = table->address;
  t.checksumOffset = image.optionalHeader + kestlib::kChecksumFieldOffset;
  if (std::uint64_t{table->address} + table->size != fileSize || table->address < entry + kDirectoryEntry)
    throw PackError("the certificate table of " + Quoted(options.file) + " does not end the file (it ends at " +
                    std::to_string(std::uint64_t{table->address} + table->size) + " of " +
                    std::to_string(fileSize) + " bytes); the installer would refuse to run");
  std::vector<std::uint8_t> old = ReadFileRange(options.file, table->address, table->size, "installer");
  switch (forwarded::SetSignatureTag(old.data(), old.size(), values, t.table)) {
    case forwarded::TagError::None:
      break;
    case forwarded::TagError::NotSigned:
      throw PackError("the certificate table of " + Quoted(options.file) + " holds no Authenticode signature");
    case forwarded::TagError::Malformed:
      throw PackError("the signature of " + Quoted(options.file) + " is malformed (its DER does not parse)");
    case forwarded::TagError::TextTooLong:
      throw PackError("the values take more than a tag holds: " + std::to_string(forwarded::kTagTextLimit) +
                      " bytes as a data block, where each character of the names and values takes 2 bytes "
                      "(UTF-16), so fewer than " + std::to_string(forwarded::kTagTextLimit / 2) +
                      " characters in all");
  }
  for (const SignatureCheck& check : CheckSignatures(options.file, image, t.tableOffset, old))
    if (check.problem)
      throw PackError(SignatureName(check) + " of " + Quoted(options.file) + " does not pass: " + *check.problem +
                      "; tag changes only an installer whose signatures match it");
  if (std::uint64_t{t.tableOffset} + t.table.size() > 0xFFFFFFFFu)
    throw PackError("the tagged installer would exceed 4 GiB, which a signed file cannot");
  t.recordedChecksum = GetU32(bytes, t.checksumOffset);
  t.oldTable = std::move(old);
  bytes.resize(entry + kDirectoryEntry);
  PutU32(bytes, t.checksumOffset, 0);
  PutU32(bytes, entry + 4, static_cast<std::uint32_t>(t.table.size()));
  t.header = std::move(bytes);
  return t;
}

std::uint8_t* Checksum(std::uint32_t value, std::uint8_t (&field)[4]) {
  for (int i = 0; i < 4; ++i) field[i] = static_cast<std::uint8_t>(value >> (8 * i));
  return field;
}

// The sum of little-endian 16-bit words modulo 0xFFFF, which is what
// addition with end-around carry keeps; bytes start at an even offset.
std::uint64_t WordsModulo(const std::uint8_t* data, std::size_t size) {
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i + 1 < size; i += 2) sum += static_cast<std::uint32_t>(data[i] | data[i + 1] << 8);
  if (size % 2) sum += data[size - 1];
  return sum % 0xFFFF;
}

// The new checksum from the one the file records: only the table and its
// size field change, so the rest of a large file need not be read again.
// Nothing when the file records none, or one that no file of its length has.
std::optional<std::uint32_t> UpdatedChecksum(const Tagged& t) {
  const std::uint64_t oldLength = std::uint64_t{t.tableOffset} + t.oldTable.size();
  const std::size_t sizeField = t.header.size() - 4;
  if (t.recordedChecksum <= oldLength || t.recordedChecksum - oldLength > 0xFFFF || t.tableOffset % 2 ||
      sizeField % 2)
    return std::nullopt;
  std::uint8_t oldField[4];
  Checksum(static_cast<std::uint32_t>(t.oldTable.size()), oldField);
  std::uint64_t sum = (t.recordedChecksum - oldLength) % 0xFFFF + 2 * 0xFFFF;
  sum -= WordsModulo(t.oldTable.data(), t.oldTable.size()) + WordsModulo(oldField, sizeof oldField);
  sum += WordsModulo(t.table.data(), t.table.size()) + WordsModulo(t.header.data() + sizeField, 4);
  sum %= 0xFFFF;
  // Folding gives 0xFFFF, never 0, for any file that is not all zeros.
  return static_cast<std::uint32_t>((sum == 0 ? 0xFFFF : sum) + t.tableOffset + t.table.size());
}

// The checksum over the file as it will be: its unchanged part read once.
std::uint32_t FullChecksum(const std::filesystem::path& file, const Tagged& t) {
  kestlib::PeChecksum checksum;
  checksum.Add(t.header.data(), t.header.size());
  std::ifstream in(file, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(t.header.size()));
  std::vector<char> chunk(kChunk);
  for (std::uint64_t left = t.tableOffset - t.header.size(); left > 0;) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, chunk.size()));
    CheckInterrupt();
    if (!in.read(chunk.data(), static_cast<std::streamsize>(n))) throw PackError("cannot read " + Quoted(file));
    checksum.Add(reinterpret_cast<const std::uint8_t*>(chunk.data()), n);
    left -= n;
  }
  checksum.Add(t.table.data(), t.table.size());
  return checksum.Finish();
}

// The checksum field of the tagged file; path holds the untagged one.
void NewChecksum(const std::filesystem::path& path, const Tagged& t, std::uint8_t (&field)[4]) {
  const std::optional<std::uint32_t> updated = UpdatedChecksum(t);
  Checksum(updated ? *updated : FullChecksum(path, t), field);
}

// The table, then the checksum and the table's size: the header's new
// size then never names bytes not yet written.
void WriteTagged(FileEditor& file, const Tagged& t, const std::uint8_t (&checksum)[4], std::uint64_t size) {
  file.Reserve(size);
  file.Write(t.tableOffset, t.table.data(), t.table.size());
  file.Write(t.checksumOffset, checksum, sizeof checksum);
  const std::size_t entry = t.header.size() - 4;
  file.Write(entry, t.header.data() + entry, 4);
  file.Resize(size);
  file.Sync();
}

// Puts back the bytes WriteTagged may have changed.
void Restore(FileEditor& file, const Tagged& t) {
  std::uint8_t checksum[4], tableSize[4];
  file.Write(t.header.size() - 4, Checksum(static_cast<std::uint32_t>(t.oldTable.size()), tableSize), 4);
  file.Write(t.checksumOffset, Checksum(t.recordedChecksum, checksum), 4);
  file.Write(t.tableOffset, t.oldTable.data(), t.oldTable.size());
  file.Resize(std::uint64_t{t.tableOffset} + t.oldTable.size());
  file.Sync();
}

std::uint64_t TaggedSize(const Tagged& t) { return std::uint64_t{t.tableOffset} + t.table.size(); }

// The edit of the installer at path, on a failure undone.
std::uint64_t EditInPlace(const std::filesystem::path& path, const Tagged& t) {
  std::uint8_t checksum[4];
  NewChecksum(path, t, checksum);
  FileEditor file(path);
  try {
    WriteTagged(file, t, checksum, TaggedSize(t));
  } catch (const PackError& failure) {
    try {
      Restore(file, t);
    } catch (const PackError& again) {
      throw PackError(std::string(failure.what()) + "; putting the old bytes back failed too (" + again.what() +
                      "): " + Quoted(path) + " is damaged, tag a copy of the original instead");
    }
    throw PackError(std::string(failure.what()) + "; " + Quoted(path) + " is left as it was");
  }
  return TaggedSize(t);
}

// A copy made by the system, edited before it takes the output's name.
std::uint64_t WriteCopy(const TagOptions& options, const Tagged& t) {
  PendingFile out(options.output);
  const std::filesystem::path& copy = out.CopyOf(options.file, "installer");
  std::uint8_t checksum[4];
  NewChecksum(copy, t, checksum);
  {
    FileEditor file(copy);
    WriteTagged(file, t, checksum, TaggedSize(t));
  }
  out.Commit();
  return TaggedSize(t);
}

}  // namespace

std::uint64_t TagInstaller(const TagOptions& options, std::ostream& notes) {
  const Tagged t = Prepare(options, notes);
  return options.inPlace ? EditInPlace(options.file, t) : WriteCopy(options, t);
}

}  // namespace sfxpack
