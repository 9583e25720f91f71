#include "Build.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <boost/locale/encoding_utf.hpp>

#include "ArchiveCoders.h"
#include "Archiver.h"
#include "BlockIv.h"
#include "Branding.h"
#include "ConfigReview.h"
#include "ConfigText.h"
#include "Errors.h"
#include "FileIo.h"
#include "FolderScan.h"
#include "Forwarding.h"
#include "Interrupts.h"
#include "Layout.h"
#include "core/payload/ConfigKeys.h"
#include "core/payload/ConfigStore.h"
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
      {&o.stub, "stub"},          {&o.config, "configuration"}, {&o.archive, "archive"},
      {&o.branding.icon, "icon"}, {&o.branding.versionFile, "version information"}};
  for (const auto& [path, role] : inputs) {
    if (!path->empty() && SamePath(o.output, *path))
      throw PackError("output " + Quoted(o.output) + " is the " + role +
                      " itself; choose another output path");
  }
  if (o.folder.empty()) return;
  std::error_code ec;
  const fs::path folder = fs::weakly_canonical(o.folder, ec);
  const fs::path output = fs::weakly_canonical(fs::absolute(o.output, ec), ec);
  const auto [end, ignored] = std::mismatch(folder.begin(), folder.end(), output.begin(), output.end());
  if (!ec && end == folder.end())
    throw PackError("output " + Quoted(o.output) + " lies inside folder " + Quoted(o.folder) +
                    ", so the next build would pack this installer; write it elsewhere");
}

// The size of a given archive, refused when it holds nothing.
std::uint64_t ArchiveSize(const fs::path& archive) {
  const std::uint64_t size = InputFileSize(archive, "archive");
  if (size == 0) throw PackError("archive " + Quoted(archive) + " is empty (0 bytes); give the 7z archive of the payload");
  return size;
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
  // The stub's checksum field was zeroed: the sum is the whole file's.
  const std::uint32_t checksum = out.checksum().Finish();
  const std::uint8_t field[4] = {static_cast<std::uint8_t>(checksum), static_cast<std::uint8_t>(checksum >> 8),
                                 static_cast<std::uint8_t>(checksum >> 16), static_cast<std::uint8_t>(checksum >> 24)};
  out.Patch(stub.checksumOffset, field, sizeof field);
  out.Commit();
}

bool Reproducible(const BuildOptions& options) { return options.reproducible || SourceDateEpoch(); }

// The paths of a given archive once 7-Zip has tested it; nothing when they
// cannot be known.
std::optional<PayloadPaths> ArchivePaths(const BuildOptions& options, const std::optional<fs::path>& sevenZip,
                                         Warnings& warnings, std::ostream& notes) {
  RequireSevenZipSignature(options.archive);
  if (!sevenZip) {
    warnings.Add("archive-not-tested", "archive " + Quoted(options.archive) + " is not tested and the setup file names are " +
                 "not checked: no 7-Zip (7zz or 7z) on the PATH and no SFXPACK_7Z");
    return std::nullopt;
  }
  ArchiveTest test = TestArchive(*sevenZip, options.archive, "archive " + Quoted(options.archive));
  if (!test.paths)
    notes << "sfxpack: note: archive " << Quoted(options.archive)
          << " has enciphered headers: without the password neither its data nor the setup file names "
             "can be checked\n";
  else if (!test.dataTested)
    notes << "sfxpack: note: archive " << Quoted(options.archive)
          << " is enciphered: its structure was checked, its data cannot be tested without the password\n";
  return std::move(test.paths);
}

// Packs the folder, or for a reproducible build a tree of it whose times
// are clamped, when one is needed.
void PackFolderFor(const BuildOptions& options, const FolderScan& scan, const fs::path& sevenZip,
                   const fs::path& archive, std::ostream& notes) {
  PackSettings settings;
  settings.level = options.level.value_or(settings.level);
  settings.threads = options.threads;
  const bool terminal = StderrIsTerminal();
  settings.progress = !options.quiet && (options.progress || terminal);
  // A log gets whole lines, not a display redrawn behind backspaces.
  if (settings.progress && !terminal) settings.progressLines = &notes;
  fs::path source = options.folder;
  std::optional<RemoveTreeOnExit> tree;
  if (Reproducible(options)) {
    if (!settings.threads) settings.threads = kReproducibleThreads;
    const std::optional<std::int64_t> epoch = SourceDateEpoch();
    if (epoch && NeedsClampedTree(scan, *epoch)) {
      tree.emplace(archive.parent_path() / (archive.stem().native() + fs::path(".files").native()));
      MakeClampedTree(scan, *epoch, tree->path());
      source = tree->path();
    }
  }
  PackFolder(sevenZip, source, archive, settings);
}

void RequireNoWarnings(const BuildOptions& options, const Warnings& warnings) {
  if (options.strict && warnings.count() > 0)
    throw PackError(std::to_string(warnings.count()) + " warning(s) with --strict; nothing written");
}

void WarnAboutUnreadSlots(const BuildOptions& options, const std::string& configText, Warnings& warnings) {
  if (options.slots.empty() && !options.trailingData) return;
  ConfigStore store;
  store.Parse(boost::locale::conv::utf_to_utf<wchar_t>(configText));
  if (store.GetInt(configkeys::kMain, configkeys::kForwardResourceData, 0) != 1)
    warnings.Add("data-not-forwarded", "--slot and --trailing-data reach the setup only with ForwardResourceDataFromSFX=1 in [main] of "
                 "configuration " + Quoted(options.config) + "; add it, or leave the data out");
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

std::uint64_t BuildInstaller(const BuildOptions& options, Warnings& warnings, std::ostream& notes) {
  RefuseOutputOverInputs(options);
  StubImage stub = LoadStub(options.stub);
  if (options.arch && *options.arch != stub.architecture)
    throw PackError("--arch " + *options.arch + " and stub " + Quoted(options.stub) + ", the " +
                    stub.architecture + " stub, disagree; give the " + *options.arch + " stub or leave out --arch");
  ApplyBranding(options.branding, options.stub, options.output.filename().u8string(), stub);
  WriteSlots(stub, options.slots);
  const std::vector<std::uint8_t> trailingBlock =
      options.trailingData ? TrailingBlockFor(*options.trailingData, stub, notes)
                           : std::vector<std::uint8_t>{};
  const std::string configText = LoadConfigText(options.config, notes);
  ReviewConfigLines(configText, options.config, warnings);
  WarnAboutUnreadSlots(options, configText, warnings);
  const std::optional<fs::path> sevenZip = FindSevenZip();
  // The IV does not change the block's size: the layout is known, and a
  // given archive's fit checked, before the archive is made or tested.
  const Layout layout = PlanLayout(stub.bytes.size(), payload::EncipherText(configText, payload::Iv{}).size(),
                                   options.branding.empty() ? "the stub" : "the branded stub");
  std::optional<FolderScan> scan;
  std::optional<PayloadPaths> paths;
  if (options.folder.empty()) {
    CheckInstallerSize(FinalFileSize(layout, ArchiveSize(options.archive)) + trailingBlock.size());
    paths = ArchivePaths(options, sevenZip, warnings, notes);
    if (paths) {
      RequireExtractableItems(*paths, "archive " + Quoted(options.archive));
      paths = RequireWindowsNames(*paths, "archive " + Quoted(options.archive));
    }
  } else {
    if (!sevenZip)
      throw PackError("cannot find 7-Zip (7zz or 7z) on the PATH; install it or set SFXPACK_7Z "
                      "to the program's path");
    scan = ScanFolder(options.folder, options.followLinks);
    paths = RequireWindowsNames(scan->paths, "folder " + Quoted(options.folder));
  }
  if (paths) ReviewSetupFiles(configText, *paths, warnings);
  // Stored without compression, a folder's archive holds at least every byte.
  if (scan && options.level == 0) CheckInstallerSize(layout.archiveOffset + FileBytes(*scan) + trailingBlock.size());
  warnings.PrintHidden();
  // Before packing: a strict build of a large folder fails at once.
  RequireNoWarnings(options, warnings);

  fs::path archive = options.archive;
  std::optional<RemoveOnExit> packed;  // the archive made from --folder, removed at the end
  if (!options.folder.empty()) {
    packed.emplace(TemporaryFolder() / ("sfxpack-" + RandomName() + ".7z"));
    archive = packed->path();
    PackFolderFor(options, *scan, *sevenZip, archive, notes);
    const std::string made = "the archive 7-Zip made of folder " + Quoted(options.folder);
    RequireExtractableItems(ListArchive(*sevenZip, archive, made), made);
  }
  const std::uint64_t archiveSize = InputFileSize(archive, "archive");
  const payload::Iv iv = Reproducible(options) ? DerivedIv(configText, archive, archiveSize) : RandomIv();
  const std::vector<std::uint8_t> block = payload::EncipherText(configText, iv);
  // The size record counts the trailing block too: it ends the file.
  const std::uint64_t fileSize = FinalFileSize(layout, archiveSize) + trailingBlock.size();
  if (options.trailingData) RequireTrailingWindow(fileSize);
  if (const std::optional<std::string> warning = CheckInstallerSize(fileSize)) {
    warnings.Add("signature-room", *warning);
    RequireNoWarnings(options, warnings);
  }

  CheckInterrupt();
  RecordFileSize(stub, fileSize);
  WriteInstaller(options.output, stub, block, archive, archiveSize, trailingBlock);
  return fileSize;
}

}  // namespace sfxpack
