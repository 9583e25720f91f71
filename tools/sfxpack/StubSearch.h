// The stub a build takes when the command line names none: the installed
// one for the architecture asked for.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace sfxpack {

// The installed stub of the architecture: "setupsfx.exe" for "x86",
// "setupsfx64.exe" for "x64", "setupsfxarm64.exe" for "arm64".
std::string StubFileName(const std::string& architecture);

// The folders searched, in order: the program's own, ../share/setupsfx
// beside it, then stubDir (SFXPACK_STUB_DIR) when set. program is the
// program's real path.
std::vector<std::filesystem::path> StubFolders(const std::filesystem::path& program,
                                               const std::optional<std::string>& stubDir);

// The folders for this process.
std::vector<std::filesystem::path> StubFolders();

// The first folder's stub for the architecture; nothing when none has one.
std::optional<std::filesystem::path> FindStub(const std::string& architecture,
                                              const std::vector<std::filesystem::path>& folders);

// The stub found for a build; throws PackError saying where it looked and
// how to name one.
std::filesystem::path RequireStub(const std::string& architecture,
                                  const std::vector<std::filesystem::path>& folders);

// One line per architecture: the stub found and its file version, or
// "not found".
void PrintStubVersions(const std::vector<std::filesystem::path>& folders, std::ostream& out);

}  // namespace sfxpack
