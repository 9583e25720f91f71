// Where the temporary files can go when their folder's drive is too small.
#pragma once

#include <cstdint>
#include <string>

// The local drive with the most bytes free for the user; removable,
// network and CD drives are skipped, a tie keeps the earlier drive. False
// when no drive has any space; the outputs are then empty and 0.
bool FindLargestFreeDrive(std::wstring* root, std::uint64_t* bytes);

// The root of that drive, or else the documents folder (created if
// missing), with a trailing backslash; empty when neither can be had.
std::wstring LargestFreeLocation();
