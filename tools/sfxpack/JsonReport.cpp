// --json of build and inspect: one JSON object, for scripts.
#include <boost/json/src.hpp>  // Boost.JSON header-only, in this one file
#include <boost/locale/encoding_utf.hpp>

#include <C/Sha256.h>

#include <fstream>
#include <iomanip>
#include <sstream>

#include "Build.h"
#include "Errors.h"
#include "FileIo.h"
#include "Inspect.h"
#include "core/payload/PayloadFormat.h"

namespace json = boost::json;

namespace sfxpack {
namespace {

std::string Utf8(const std::u16string& text) { return boost::locale::conv::utf_to_utf<char>(text); }

json::object Range(std::uint64_t offset, std::uint64_t length) {
  return {{"offset", offset}, {"length", length}};
}

json::object Values(const std::vector<std::pair<std::u16string, std::u16string>>& values) {
  json::object object;
  for (const auto& [name, value] : values) object[Utf8(name)] = Utf8(value);
  return object;
}

const char* BlockState(forwarded::BlockResult result) {
  switch (result) {
    case forwarded::BlockResult::Read:
      return "read";
    case forwarded::BlockResult::Invalid:
      return "invalid";
    case forwarded::BlockResult::NotFound:
      break;
  }
  return "none";
}

const char* TagState(forwarded::TagResult result) {
  switch (result) {
    case forwarded::TagResult::Read:
      return "read";
    case forwarded::TagResult::Damaged:
      return "damaged";
    case forwarded::TagResult::NoTag:
      break;
  }
  return "none";
}

std::string Sha256Hex(const std::filesystem::path& path) {
  CSha256 sha;
  Sha256_Init(&sha);
  std::ifstream in(path, std::ios::binary);
  std::vector<char> chunk(1 << 20);
  while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0)
    Sha256_Update(&sha, reinterpret_cast<const Byte*>(chunk.data()), static_cast<std::size_t>(in.gcount()));
  if (in.bad()) throw PackError("cannot read " + Quoted(path) + " to hash it");
  Byte digest[SHA256_DIGEST_SIZE];
  Sha256_Final(&sha, digest);
  std::ostringstream hex;
  for (const Byte b : digest) hex << std::hex << std::setw(2) << std::setfill('0') << static_cast<int>(b);
  return hex.str();
}

json::array WarningList(const Warnings& warnings) {
  json::array list;
  for (const Warning& warning : warnings.list())
    list.push_back(json::object{{"code", warning.code}, {"message", warning.text}});
  return list;
}

}  // namespace

void PrintJsonBuild(const std::filesystem::path& output, std::uint64_t size, const Warnings& warnings,
                    std::ostream& out) {
  const std::optional<std::uint64_t> blocks = ReadInstaller(output).lzma2Blocks;
  const json::object report{{"path", output.u8string()},
                            {"size", size},
                            {"sha256", Sha256Hex(output)},
                            {"lzma2Blocks", blocks ? json::value(*blocks) : json::value(nullptr)},
                            {"warnings", WarningList(warnings)}};
  out << json::serialize(report) << '\n';
}

void PrintJsonBuildError(const std::filesystem::path& output, const std::string& error, const Warnings& warnings,
                         std::ostream& out) {
  out << json::serialize(json::object{{"path", output.u8string()}, {"error", error}, {"warnings", WarningList(warnings)}})
      << '\n';
}

void PrintJsonReport(const InstallerReport& r, std::ostream& out) {
  json::object report;
  report["image"] = r.imageKind;
  report["architecture"] = r.stubArchitecture ? json::value(*r.stubArchitecture) : json::value(nullptr);
  report["fileSize"] = r.fileSize;
  report["imageEnd"] = r.imageEnd;
  report["startMarkerOffset"] = r.blockOffset - payload::kStartMarkerSize;
  report["configurationBlock"] = Range(r.blockOffset, r.blockLength);
  json::object archive = Range(r.archiveOffset, r.archiveLength);
  archive["signature"] = r.archiveSignature;
  archive["lzma2Blocks"] = r.lzma2Blocks ? json::value(*r.lzma2Blocks) : json::value(nullptr);
  if (r.items) archive["items"] = json::value_from(*r.items);
  if (r.listError) archive["listError"] = *r.listError;
  report["archive"] = std::move(archive);
  report["certificateTable"] =
      r.certificate ? json::value(Range(r.certificate->address, r.certificate->size)) : json::value(nullptr);
  json::array signatures;
  for (const SignatureCheck& check : r.signatures)
    signatures.push_back(json::object{{"depth", check.depth},
                                      {"digestAlgorithm", check.digestAlgorithm},
                                      {"matches", !check.problem},
                                      {"problem", check.problem ? json::value(*check.problem) : json::value(nullptr)}});
  report["signatures"] = std::move(signatures);
  report["verifySize"] = r.verifyValue ? json::value(*r.verifyValue) : json::value(nullptr);
  report["mismatches"] = json::value_from(Mismatches(r));
  report["dataSlots"] = Values(r.forwarded.slots);
  json::object block;
  block["state"] = BlockState(r.forwarded.block);
  block["values"] = Values({r.forwarded.blockValues.begin(), r.forwarded.blockValues.end()});
  report["trailingDataBlock"] = std::move(block);
  json::object tag;
  tag["state"] = r.forwarded.tag ? json::value(TagState(*r.forwarded.tag)) : json::value(nullptr);
  tag["values"] = Values({r.forwarded.tagValues.begin(), r.forwarded.tagValues.end()});
  report["signatureTag"] = std::move(tag);
  report["iconImages"] = r.iconImages;
  if (r.version) {
    json::object version;
    version["fileVersion"] = VersionText(r.version->fileVersion);
    version["productVersion"] = VersionText(r.version->productVersion);
    version["strings"] = Values(r.version->strings);
    report["version"] = std::move(version);
  } else {
    report["version"] = nullptr;
  }
  report["configurationText"] = r.configText;
  out << json::serialize(report) << '\n';
}

void PrintJsonError(const std::filesystem::path& path, const std::string& error, std::ostream& out) {
  out << json::serialize(json::object{{"file", path.u8string()}, {"error", error}, {"warnings", json::array()}})
      << '\n';
}

}  // namespace sfxpack
