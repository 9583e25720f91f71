// The 7z archive as the 7-Zip program makes and tests it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "PayloadPaths.h"

namespace sfxpack {

// LZMA2 blocks of this many bytes, whatever the build machine: the
// installer's engine decodes the blocks on several threads at once, and one
// block (what 7-Zip writes on a machine of one or two cores) on one.
inline constexpr const char* kBlockSizeOption = "64m";

struct PackSettings {
  int level = 9;
  std::optional<int> threads;  // 7-Zip's choice when not given
  bool progress = false;       // 7-Zip's progress on stderr
  // When set, the progress goes here as whole lines instead: a log has no
  // use for 7-Zip's backspaces.
  std::ostream* progressLines = nullptr;
};

// The program that SFXPACK_7Z names, else 7zz or 7z from the PATH. Throws
// PackError when SFXPACK_7Z names none; nothing when none is on the PATH.
std::optional<std::filesystem::path> FindSevenZip();

// Packs the contents of folder (not the folder itself) into a new 7z
// archive. archive must not exist yet. 7-Zip's reason is in the message of
// a failure.
void PackFolder(const std::filesystem::path& program, const std::filesystem::path& folder,
                const std::filesystem::path& archive, const PackSettings& settings);

// What 7-Zip could check of an archive without its password.
struct ArchiveTest {
  // The items' paths, "/" between their parts; none when the headers are
  // enciphered.
  std::optional<PayloadPaths> paths;
  // Enciphered data cannot be tested without the password.
  bool dataTested = true;
};

// Has 7-Zip test every item of the archive (structure and CRCs) as far as
// it can without the password. Throws PackError for a damaged archive.
// Messages name the archive as what says ("archive \"a.7z\""), never by
// the path 7-Zip was given, which may be a temporary copy.
ArchiveTest TestArchive(const std::filesystem::path& program, const std::filesystem::path& archive,
                        const std::string& what);

// The paths of the archive's items as 7-Zip lists them, "/" between their
// parts. Throws PackError with 7-Zip's reason when it cannot list them.
PayloadPaths ListArchive(const std::filesystem::path& program, const std::filesystem::path& archive,
                         const std::string& what);

}  // namespace sfxpack
