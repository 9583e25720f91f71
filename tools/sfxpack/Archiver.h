// Making the 7z archive from a folder with the 7-Zip program.
#pragma once

#include <filesystem>

namespace sfxpack {

// Packs the contents of folder (not the folder itself) into a new 7z
// archive, with the program that SFXPACK_7Z names, else 7zz or 7z from the
// PATH. archive must not exist yet.
void PackFolder(const std::filesystem::path& folder, const std::filesystem::path& archive);

}  // namespace sfxpack
