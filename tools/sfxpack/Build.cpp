#include "Build.h"

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "Archiver.h"
#include "ConfigText.h"
#include "Errors.h"
#include "FileIo.h"
#include "Forwarding.h"
#include "Layout.h"
#include "core/payload/PayloadFormat.h"
#include "StubImage.h"

namespace fs = std::filesystem;

namespace sfxpack {
namespace {

void RefuseOutputOverInputs(const BuildOptions& o) {
  const std::pair<const fs::path*, const char*> inputs[] = {
      {&o.stub, "stub"}, {&o.config, "configuration"}, {&o.archive, "archive"}};
  for (const auto& [path, role] : inputs) {
    if (!path->empty() && SamePath(o.output, *path))
      throw PackError("output " + Quoted(o.output) + " is the " + role +
                      " itself; choose another output path");
  }
}

// A new IV for every build, so that equal configurations never give equal
// blocks.
payload::Iv FreshIv() {
  std::random_device random;
  payload::Iv iv{};
  for (std::size_t i = 0; i < iv.size(); i += 4) {
    const std::uint32_t word = random();
    for (std::size_t b = 0; b < 4; ++b) iv[i + b] = static_cast<std::uint8_t>(word >> (8 * b));
  }
  return iv;
}

void RequireSevenZipSignature(const fs::path& archive) {
  const std::vector<std::uint8_t> head =
      ReadFilePrefix(archive, payload::k7zSignature.size(), "archive");
  if (!std::equal(head.begin(), head.end(), payload::k7zSignature.begin(),
                  payload::k7zSignature.end()))
    throw PackError("archive " + Quoted(archive) +
                    " does not begin with the 7z signature; is it a 7z archive?");
}

void WriteInstaller(const fs::path& output, const StubImage& stub,
                    const std::vector<std::uint8_t>& block, const fs::path& archive,
                    std::uint64_t archiveSize, const std::vector<std::uint8_t>& trailingBlock) {
  PendingFile out(output);
  const payload::StartMarker start = payload::MakeStartMarker();
  const payload::EndMarker end = payload::MakeEndMarker();
  out.Write(stub.bytes.data(), stub.bytes.size());
  out.Write(start.data(), start.size());
  out.Write(block.data(), block.size());
  out.Write(end.data(), end.size());
  out.Append(archive, archiveSize, "archive");
  out.Write(trailingBlock.data(), trailingBlock.size());
  out.Commit();
}

}  // namespace

std::uint64_t BuildInstaller(const BuildOptions& options, std::ostream& notes) {
  RefuseOutputOverInputs(options);
  StubImage stub = LoadStub(options.stub);
  WriteSlots(stub, options.slots);
  const std::vector<std::uint8_t> trailingBlock =
      options.trailingData ? TrailingBlockFor(*options.trailingData, stub, notes)
                           : std::vector<std::uint8_t>{};
  const std::vector<std::uint8_t> block =
      payload::EncipherText(LoadConfigText(options.config, notes), FreshIv());
  const Layout layout = PlanLayout(stub.bytes.size(), block.size());

  fs::path archive = options.archive;
  std::optional<RemoveOnExit> packed;  // the archive made from --folder, removed at the end
  if (!options.folder.empty()) {
    packed.emplace(fs::temp_directory_path() / ("sfxpack-" + RandomName() + ".7z"));
    PackFolder(options.folder, packed->path());
    archive = packed->path();
  }
  const std::uint64_t archiveSize = InputFileSize(archive, "archive");
  // The size record counts the trailing block too: it ends the file.
  const std::uint64_t fileSize = FinalFileSize(layout, archiveSize) + trailingBlock.size();
  if (options.trailingData) RequireTrailingWindow(fileSize);
  RequireSevenZipSignature(archive);

  RecordFileSize(stub, fileSize);
  WriteInstaller(options.output, stub, block, archive, archiveSize, trailingBlock);
  return fileSize;
}

}  // namespace sfxpack
