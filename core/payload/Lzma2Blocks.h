// How many LZMA2 blocks a 7z archive holds: runs of chunks that begin with
// a dictionary reset, which the installer's engine decodes on threads of
// their own. No Windows header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

namespace payload {

// Reads count bytes at offset (0 is the archive's signature) into out;
// false when the archive has fewer.
using ArchiveReader = std::function<bool(std::uint64_t offset, std::uint8_t* out, std::size_t count)>;

// Walks the chunks of the LZMA2 streams that the packed streams begin with
// (behind the signature header; the compressed header and the streams of
// other methods follow them). Nothing when the first packed stream is no
// whole LZMA2 stream (another method, encryption or damage).
std::optional<std::uint64_t> CountLzma2Blocks(const ArchiveReader& read);

}  // namespace payload
