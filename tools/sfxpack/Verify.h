// The verify command: what the installer checks of itself when it starts,
// and what it would only find out while extracting, without running it.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace sfxpack {

struct Verification {
  // Each thing that would make the installer refuse, fail or misbehave.
  std::vector<std::string> faults;
  // What could not be checked at all, when nothing else failed.
  std::optional<std::string> unchecked;
  // The signatures' digests ("sha256, sha1"); nothing when unsigned.
  std::optional<std::string> digests;
};

// Checks the image, the configuration block, the size record or the
// signature's end, every signature against the file (not the trust in its
// certificates), the archive (through 7-Zip's test) and the data slots.
// Warnings about the configuration and notes go to notes as they arise.
// Throws ExamineError for a file that is no installer to check.
Verification VerifyInstaller(const std::filesystem::path& path, std::ostream& notes);

}  // namespace sfxpack
