#include "StubSearch.h"

#include "Errors.h"
#include "FileIo.h"
#include "Inspect.h"
#include "StubImage.h"
#include "core/payload/PayloadFormat.h"
#include "core/pe/PeImage.h"
#include "core/pe/ResourceSection.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace sfxpack {
namespace {

// The program's real location, links resolved, so that a link to an
// installed sfxpack still finds the installed stubs.
fs::path ProgramPath() {
#ifdef _WIN32
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return fs::path(buffer.substr(0, length));
    buffer.resize(buffer.size() * 2);
  }
#else
  std::error_code ec;
  return fs::read_symlink("/proc/self/exe", ec);
#endif
}

// The FILEVERSION of the stub's version resource.
std::string StubVersion(const fs::path& stub) {
  const std::vector<std::uint8_t> bytes = ReadFilePrefix(stub, payload::kBlockWindow, "stub");
  kestlib::PeImage image;
  if (kestlib::ParsePeImage(bytes.data(), bytes.size(), image) != kestlib::PeError::None)
    return "not a Windows program (PE image)";
  if (const auto resources = kestlib::ReadResources(bytes.data(), bytes.size()))
    for (const kestlib::Resource& resource : *resources)
      if (resource.type.name.empty() && resource.type.id == kestlib::kResourceTypeVersion)
        if (const auto info = kestlib::ReadVersionInfo(resource.data.data(), resource.data.size()))
          return VersionText(info->fileVersion);
  return "no version resource";
}

}  // namespace

std::string StubFileName(const std::string& architecture) {
  const StubKind* kind = FindStubKind(architecture);
  return kind ? kind->fileName : StubKinds().front().fileName;
}

std::vector<fs::path> StubFolders(const fs::path& program, const std::optional<std::string>& stubDir) {
  std::vector<fs::path> folders;
  if (!program.empty()) {
    folders.push_back(program.parent_path());
    folders.push_back(program.parent_path().parent_path() / "share" / "setupsfx");
  }
  if (stubDir) folders.push_back(fs::u8path(*stubDir));
  return folders;
}

std::vector<fs::path> StubFolders() {
  return StubFolders(ProgramPath(), EnvironmentValue("SFXPACK_STUB_DIR"));
}

std::optional<fs::path> FindStub(const std::string& architecture, const std::vector<fs::path>& folders) {
  for (const fs::path& folder : folders) {
    const fs::path stub = folder / StubFileName(architecture);
    std::error_code ec;
    if (fs::is_regular_file(stub, ec)) return stub;
  }
  return std::nullopt;
}

fs::path RequireStub(const std::string& architecture, const std::vector<fs::path>& folders) {
  if (const auto stub = FindStub(architecture, folders)) return *stub;
  std::string searched;
  for (const fs::path& folder : folders) searched += (searched.empty() ? "" : ", ") + Quoted(folder);
  throw PackError("no " + architecture + " stub (" + StubFileName(architecture) + ") in " + searched +
                  "; name one with --stub FILE, or set SFXPACK_STUB_DIR to the folder that holds it");
}

void PrintStubVersions(const std::vector<fs::path>& folders, std::ostream& out) {
  for (const StubKind& kind : StubKinds()) {
    const std::string architecture = kind.architecture;
    out << "stub " << architecture << " (" << StubFileName(architecture) << "): ";
    if (const auto stub = FindStub(architecture, folders))
      out << StubVersion(*stub) << ", " << stub->u8string() << '\n';
    else
      out << "not found\n";
  }
}

}  // namespace sfxpack
