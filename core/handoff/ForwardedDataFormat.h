// Formats of the data that is put into a built installer and forwarded to
// the setup program: the data slots, the trailing data block, the
// identifier in the file name and the file "SetupValues.dat". Shared by the
// stub and the builder; no Windows header, so it builds and tests anywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace forwarded {

// Name to value, in UTF-16 code-unit order; a later assignment wins.
using Values = std::map<std::u16string, std::u16string>;

// The trailing block must lie inside this many bytes at the end of the file.
inline constexpr std::size_t kTrailingWindow = 65536;

// A data slot: an RCDATA resource whose string name begins with "HLV" or
// "HV_" (case-sensitive).
bool IsSlotName(std::u16string_view name);

// The value of a slot: its bytes up to the first zero byte, as UTF-8.
// Malformed sequences become U+FFFD.
std::u16string SlotText(const std::uint8_t* data, std::size_t size);

// The markers in UTF-16LE, built at run time: the image must never hold
// them literally.
std::vector<std::uint8_t> MakeBlockStartMarker();
std::vector<std::uint8_t> MakeBlockEndMarker();

enum class BlockResult { Read, NotFound, Invalid };

// Reads the first trailing block in bytes (the last bytes of a file):
// NotFound without a start marker, Invalid without an end marker behind it
// or with a broken escape. values is emptied first and holds nothing from
// an invalid block.
BlockResult ParseTrailingBlock(const std::uint8_t* data, std::size_t size, Values& values);

// Splits the block's data into entries ("name=value" joined by "&") and
// decodes their escapes ("%" and two hexadecimal digits). False, with
// values left empty, when an escape is broken.
bool ParseBlockData(std::u16string_view data, Values& values);

// The data of a block holding values: every character that the block
// syntax or its markers give a meaning ("%", "&", "=", "#") and every
// control character is written as an escape.
std::u16string EncodeBlockData(const Values& values);

// Start marker, data in UTF-16LE, end marker.
std::vector<std::uint8_t> MakeTrailingBlock(std::u16string_view data);

// The identifier in the name of an executable (path in UTF-8, "/" or "\"
// as separators): the 16 letters or digits after a "--ph" in the base
// name, the name up to its last period.
std::optional<std::string> FileNameIdentifier(std::string_view path);

// Whether an entry fits on one line of "SetupValues.dat": a non-empty name
// without "=", neither holding a line break or a zero character.
bool IsForwardable(std::u16string_view name, std::u16string_view value);

void DropEmptyValues(Values& values);

// "SetupValues.dat": "name=value" in UTF-8 and CR LF per forwardable entry,
// in name order; the other entries are left out.
std::string SetupValuesText(const Values& values);

// UTF-8 and UTF-16 conversions; malformed input becomes U+FFFD.
std::u16string Utf16FromUtf8(std::string_view text);
std::string Utf8FromUtf16(std::u16string_view text);

// Whether text is well-formed UTF-8.
bool IsUtf8(std::string_view text);

}  // namespace forwarded
