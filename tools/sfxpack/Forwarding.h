// Forwarded data in an installer: the values sfxpack writes into the stub's
// data slots and the trailing data block, and what inspect reads back.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "core/handoff/ForwardedDataFormat.h"
#include "core/handoff/SignatureTag.h"
#include "StubImage.h"

namespace sfxpack {

// Writes each value into the slot of that name, zero-filling the rest of
// the slot. Refuses a name that is no data slot of the stub, a value that
// does not fit its slot, is not UTF-8 or breaks a line.
void WriteSlots(StubImage& stub, const std::vector<std::pair<std::string, std::string>>& slots);

// The trailing block for the data text, escaped where the block syntax
// needs it. Refuses a broken escape, an entry that cannot be forwarded and
// a block larger than the window the installer searches. Notes go to notes.
std::vector<std::uint8_t> TrailingBlockFor(const std::string& text, const StubImage& stub,
                                           std::ostream& notes);

// The installer reads a trailing block only from a file at least this long.
void RequireTrailingWindow(std::uint64_t fileSize);

struct ForwardedReport {
  std::vector<std::pair<std::u16string, std::u16string>> slots;  // in directory order
  forwarded::BlockResult block = forwarded::BlockResult::NotFound;
  forwarded::Values blockValues;
  std::optional<forwarded::TagResult> tag;  // nothing for an unsigned installer
  forwarded::Values tagValues;
};

// What the installer at path would forward: bytes are its first bytes,
// image their PE image.
ForwardedReport ReadForwarded(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes,
                              const kestlib::PeImage& image, std::uint64_t fileSize);

void PrintForwarded(const ForwardedReport& report, std::ostream& out);

}  // namespace sfxpack
