// The arithmetic and path rules of an extraction, free of engine types.
#pragma once

#include <cstdint>
#include <string>

// Free space needed besides the bytes to extract.
constexpr std::uint64_t kFreeSpaceMargin = 1 << 20;
// Whether a volume with available bytes takes an extraction of total bytes
// and the margin; total near 2^64 must not wrap around.
inline bool HasRoomFor(std::uint64_t total, std::uint64_t available) {
  return total <= available && available - total >= kFreeSpaceMargin;
}
// completed of total bytes in per mille, 0..1000; total is not 0.
std::uint32_t PerMille(std::uint64_t completed, std::uint64_t total);
// Creating a file takes about as long as writing this many bytes, so the
// progress of thousands of small files follows the files, not only their
// few bytes.
constexpr std::uint64_t kFileCost = 64 << 10;
// The position of an extraction in per mille, counting each file as
// kFileCost bytes besides its data; 1000 for an empty archive.
std::uint32_t ExtractionPerMille(std::uint64_t bytes, std::uint64_t totalBytes, std::uint64_t files,
                                 std::uint64_t totalFiles);
// Each position sent makes the engine's thread wait for the dialog, and a
// bar that moves more often than this looks no smoother.
constexpr std::uint64_t kProgressIntervalMs = 50;
// Whether a position beyond the last one sent is worth sending now, given
// the milliseconds since that one; the first and the end always are.
inline bool ProgressDue(std::uint32_t perMille, bool anySent, std::uint64_t sinceLastMs) {
  return !anySent || perMille >= 1000 || sinceLastMs >= kProgressIntervalMs;
}
