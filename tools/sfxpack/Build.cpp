#include "Build.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Archiver.h"
#include "BlockIv.h"
#include "Branding.h"
#include "ConfigReview.h"
#include "ConfigText.h"
#include "Errors.h"
#include "FileIo.h"
#include "Forwarding.h"
#include "Layout.h"
#include "core/payload/PayloadFormat.h"
#include "StubImage.h"
#include "Warnings.h"

namespace fs = std::filesystem;

namespace sfxpack {
namespace {

// 7-Zip's output depends on its thread count; a reproducible build fixes it.
constexpr int kReproducibleThreads = 2;

void RefuseOutputOverInputs(const BuildOptions& o) {
  const std::pair<const fs::path*, const char*> inputs[] = {
      {&o.stub, "stub"}, {&o.config, "configuration"}, {&o.archive, "archive"}};
  for (const auto& [path, role] : inputs) {
    if (!path->empty() && SamePath(o.output, *path))
      throw PackError("output " + Quoted(o.output) + " is the " + role +
                      " itself; choose another output path");
  }
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

bool Reproducible(const BuildOptions& options) { return options.reproducible || SourceDateEpoch(); }

// The folder's paths as the installer would extract them, or nothing when
// the folder cannot be read whole.
std::optional<std::vector<std::string>> FolderPaths(const fs::path& folder) {
  std::vector<std::string> paths;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    paths.push_back(it->path().lexically_relative(folder).generic_u8string());
  if (ec) return std::nullopt;
  return paths;
}

// The payload's paths for the setup file check: the folder's, or a given
// archive's once 7-Zip has tested it; nothing when they cannot be known.
std::optional<std::vector<std::string>> PayloadPaths(const BuildOptions& options,
                                                     const std::optional<fs::path>& sevenZip,
                                                     Warnings& warnings, std::ostream& notes) {
  if (!options.folder.empty()) {
    if (!sevenZip)
      throw PackError("cannot find 7-Zip (7zz or 7z) on the PATH; install it or set SFXPACK_7Z "
                      "to the program's path");
    RequireFilledFolder(options.folder);
    return FolderPaths(options.folder);
  }
  RequireSevenZipSignature(options.archive);
  if (!sevenZip) {
    warnings.Add("archive " + Quoted(options.archive) + " is not tested and the setup file names are " +
                 "not checked: no 7-Zip (7zz or 7z) on the PATH and no SFXPACK_7Z");
    return std::nullopt;
  }
  ArchiveTest test = TestArchive(*sevenZip, options.archive);
  if (!test.paths)
    notes << "sfxpack: note: archive " << Quoted(options.archive)
          << " has enciphered headers: without the password neither its data nor the setup file names "
             "can be checked\n";
  else if (!test.dataTested)
    notes << "sfxpack: note: archive " << Quoted(options.archive)
          << " is enciphered: its structure was checked, its data cannot be tested without the password\n";
  return std::move(test.paths);
}

void PackFolderFor(const BuildOptions& options, const fs::path& sevenZip, const fs::path& archive) {
  PackSettings settings;
  settings.level = options.level.value_or(settings.level);
  settings.threads = options.threads;
  settings.progress = options.progress || StderrIsTerminal();
  if (Reproducible(options)) {
    settings.epoch = SourceDateEpoch();
    if (!settings.threads) settings.threads = kReproducibleThreads;
  }
  PackFolder(sevenZip, options.folder, archive, settings);
}

}  // namespace

std::optional<std::int64_t> SourceDateEpoch() {
  const auto value = EnvironmentValue("SOURCE_DATE_EPOCH");
  if (!value) return std::nullopt;
  std::int64_t epoch = 0;
  const auto [end, error] = std::from_chars(value->data(), value->data() + value->size(), epoch);
  if (error != std::errc() || end != value->data() + value->size() || epoch < 0)
    throw PackError("SOURCE_DATE_EPOCH is \"" + *value + "\"; it must be a count of seconds since 1970");
  return epoch;
}

std::uint64_t BuildInstaller(const BuildOptions& options, std::ostream& notes) {
  RefuseOutputOverInputs(options);
  StubImage stub = LoadStub(options.stub);
  ApplyBranding(options.branding, options.stub, options.output.filename().u8string(), stub);
  WriteSlots(stub, options.slots);
  const std::vector<std::uint8_t> trailingBlock =
      options.trailingData ? TrailingBlockFor(*options.trailingData, stub, notes)
                           : std::vector<std::uint8_t>{};
  const std::string configText = LoadConfigText(options.config, notes);
  Warnings warnings(notes);
  ReviewConfigLines(configText, options.config, warnings);
  const std::optional<fs::path> sevenZip = FindSevenZip();
  // The IV does not change the block's size: the layout is known, and a
  // given archive's fit checked, before the archive is made or tested.
  const Layout layout = PlanLayout(stub.bytes.size(), payload::EncipherText(configText, payload::Iv{}).size());
  if (options.folder.empty()) FinalFileSize(layout, InputFileSize(options.archive, "archive"));

  if (const auto paths = PayloadPaths(options, sevenZip, warnings, notes))
    ReviewSetupFiles(configText, *paths, warnings);
  // Before packing: a strict build of a large folder fails at once.
  if (options.strict && warnings.count() > 0)
    throw PackError(std::to_string(warnings.count()) + " warning(s) with --strict; nothing written");

  fs::path archive = options.archive;
  std::optional<RemoveOnExit> packed;  // the archive made from --folder, removed at the end
  if (!options.folder.empty()) {
    packed.emplace(fs::temp_directory_path() / ("sfxpack-" + RandomName() + ".7z"));
    archive = packed->path();
    PackFolderFor(options, *sevenZip, archive);
  }
  const std::uint64_t archiveSize = InputFileSize(archive, "archive");
  const payload::Iv iv = Reproducible(options) ? DerivedIv(configText, archive, archiveSize) : RandomIv();
  const std::vector<std::uint8_t> block = payload::EncipherText(configText, iv);
  // The size record counts the trailing block too: it ends the file.
  const std::uint64_t fileSize = FinalFileSize(layout, archiveSize) + trailingBlock.size();
  if (options.trailingData) RequireTrailingWindow(fileSize);

  RecordFileSize(stub, fileSize);
  WriteInstaller(options.output, stub, block, archive, archiveSize, trailingBlock);
  return fileSize;
}

}  // namespace sfxpack
