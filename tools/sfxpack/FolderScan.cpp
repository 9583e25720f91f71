#include "FolderScan.h"

#include <algorithm>
#include <chrono>
#include <fstream>

#include "Errors.h"
#include "Interrupts.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace sfxpack {
namespace {

bool Holds(const fs::path& folder, const fs::path& path) {
  const auto [end, ignored] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
  return end == folder.end();
}

class Walker {
 public:
  Walker(const fs::path& folder, bool followLinks)
      : folder_(folder), root_(fs::canonical(folder)), followLinks_(followLinks) {}

  void Walk(const fs::path& dir, const fs::path& relative, std::vector<fs::path>& chain, FolderScan& scan) {
    std::error_code ec;
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) entries.push_back(*it);
    if (ec) throw PackError("cannot read folder " + Quoted(dir) + ": " + ec.message());
    // The archive's order does not depend on the file system's.
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.path().filename() < b.path().filename(); });
    for (const fs::directory_entry& entry : entries) {
      CheckInterrupt();
      const bool link = entry.is_symlink(ec);
      FolderItem item{relative / entry.path().filename(), entry.path(), false, viaLink_ || link};
      if (link) item.source = ResolveLink(entry.path(), chain);
      const fs::file_status status = fs::status(item.source, ec);
      if (fs::is_directory(status)) {
        item.folder = true;
        scan.items.push_back(item);
        scan.paths.folders.push_back(item.relative.generic_u8string());
        const bool outer = viaLink_;
        viaLink_ = viaLink_ || link;
        chain.push_back(fs::canonical(item.source));
        Walk(item.source, item.relative, chain, scan);
        chain.pop_back();
        viaLink_ = outer;
      } else if (fs::is_regular_file(status)) {
        scan.items.push_back(item);
        scan.paths.files.push_back(item.relative.generic_u8string());
      } else {
        throw PackError(Quoted(entry.path()) + " in folder " + Quoted(folder_) +
                        " is neither a file nor a folder (a device, pipe or socket); remove it");
      }
    }
  }

 private:
  fs::path ResolveLink(const fs::path& link, const std::vector<fs::path>& chain) {
    std::error_code ec;
    const fs::path target = fs::canonical(link, ec);
    if (ec) throw PackError("link " + Quoted(link) + " in folder " + Quoted(folder_) + " points nowhere; remove it");
    if (!Holds(root_, target))
      throw PackError("link " + Quoted(link) + " points out of folder " + Quoted(folder_) + " (to " +
                      Quoted(target) + "); copy what it names into the folder instead");
    if (target == root_ || std::any_of(chain.begin(), chain.end(), [&](const fs::path& f) { return f == target; }))
      throw PackError("link " + Quoted(link) + " points to a folder that holds it, a loop; remove it");
    if (!followLinks_)
      throw PackError(Quoted(link) + " in folder " + Quoted(folder_) + " is a link; add --follow-links to " +
                      "pack what it names as files, or replace it");
    return target;
  }

  fs::path folder_, root_;
  bool followLinks_;
  bool viaLink_ = false;
};

// Copies a file chunk by chunk, seeking over chunks of zeros so that the
// copy keeps the holes of a sparse file.
void CopySparse(const fs::path& from, const fs::path& to) {
#ifdef _WIN32
  std::error_code ec;
  fs::copy_file(from, to, ec);
  if (ec) throw PackError("cannot copy " + Quoted(from) + ": " + ec.message());
#else
  std::ifstream in(from, std::ios::binary);
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (!in || out < 0) {
    if (out >= 0) ::close(out);
    throw PackError("cannot copy " + Quoted(from) + " to " + Quoted(to));
  }
  std::vector<char> chunk(1 << 16);
  off_t size = 0;
  bool ok = true;
  while (ok && in) {
    CheckInterrupt();
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    const auto n = static_cast<std::size_t>(in.gcount());
    if (n == 0) break;
    const bool zeros = std::all_of(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n),
                                   [](char c) { return c == 0; });
    if (zeros)
      ok = ::lseek(out, static_cast<off_t>(n), SEEK_CUR) >= 0;
    else
      ok = ::write(out, chunk.data(), n) == static_cast<ssize_t>(n);
    size += static_cast<off_t>(n);
  }
  ok = ok && !in.bad() && ::ftruncate(out, size) == 0;
  ok = ::close(out) == 0 && ok;
  if (!ok) throw PackError("cannot copy " + Quoted(from) + " to " + Quoted(to) + " (is the disk full?)");
#endif
}

// The file time of a count of seconds since 1970. The file clock's epoch
// lies a whole number of seconds from 1970 (libstdc++ and Windows alike),
// so rounding the clocks' difference makes the result exact: equal epochs
// give equal times in every build.
fs::file_time_type FileTimeOf(std::int64_t epoch) {
  using namespace std::chrono;
  const auto fileNow = fs::file_time_type::clock::now().time_since_epoch();
  const auto systemNow = system_clock::now().time_since_epoch();
  const seconds offset = round<seconds>(fileNow - duration_cast<fs::file_time_type::duration>(systemNow));
  return fs::file_time_type(duration_cast<fs::file_time_type::duration>(seconds(epoch) + offset));
}

}  // namespace

FolderScan ScanFolder(const fs::path& folder, bool followLinks) {
  std::error_code ec;
  const fs::file_status status = fs::status(folder, ec);
  if (!fs::exists(status)) throw PackError("folder " + Quoted(folder) + " does not exist");
  if (!fs::is_directory(status))
    throw PackError("folder " + Quoted(folder) + " is a file; --folder takes a folder, --archive a 7z archive");
  FolderScan scan;
  std::vector<fs::path> chain;
  Walker(folder, followLinks).Walk(folder, {}, chain, scan);
  if (scan.items.empty()) throw PackError("folder " + Quoted(folder) + " is empty");
  return scan;
}

bool NeedsClampedTree(const FolderScan& scan, std::int64_t epoch) {
  const fs::file_time_type limit = FileTimeOf(epoch);
  std::error_code ec;
  return std::any_of(scan.items.begin(), scan.items.end(), [&](const FolderItem& item) {
    return item.viaLink || fs::last_write_time(item.source, ec) > limit;
  });
}

void MakeClampedTree(const FolderScan& scan, std::int64_t epoch, const fs::path& where) {
  const fs::file_time_type limit = FileTimeOf(epoch);
  std::error_code ec;
  if (!fs::create_directory(where, ec)) throw PackError("cannot create folder " + Quoted(where));
  for (const FolderItem& item : scan.items) {
    CheckInterrupt();
    const fs::path target = where / item.relative;
    if (item.folder) {
      fs::create_directory(target, ec);
    } else if (fs::last_write_time(item.source, ec) > limit) {
      CopySparse(item.source, target);
    } else {
      fs::create_hard_link(item.source, target, ec);
      if (ec) CopySparse(item.source, target);
      ec.clear();
    }
    if (ec) throw PackError("cannot create " + Quoted(target) + ": " + ec.message());
  }
  // Folders last, deepest first: filling a folder changes its time.
  for (auto it = scan.items.rbegin(); it != scan.items.rend(); ++it) {
    const fs::path target = where / it->relative;
    const fs::file_time_type time = std::min(fs::last_write_time(it->source, ec), limit);
    if (!ec && (it->folder || fs::last_write_time(target, ec) != time)) fs::last_write_time(target, time, ec);
    if (ec) throw PackError("cannot set the time of " + Quoted(target) + ": " + ec.message());
  }
}

std::uint64_t FileBytes(const FolderScan& scan) {
  std::uint64_t total = 0;
  for (const FolderItem& item : scan.items)
    if (!item.folder) total += InputFileSize(item.source, "file");
  return total;
}

}  // namespace sfxpack
