// The configuration text that goes into the enciphered block.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

namespace sfxpack {

// Reads the configuration: UTF-8 text, refused with the number of the first
// bad line otherwise. A byte-order mark at its start is removed, with a
// note, because the installer would keep it as a character U+FEFF in front
// of the first line.
std::string LoadConfigText(const std::filesystem::path& path, std::ostream& notes);

// The number of the first line that is not valid UTF-8, if any.
std::optional<std::size_t> FirstLineNotUtf8(const std::string& text);

}  // namespace sfxpack
