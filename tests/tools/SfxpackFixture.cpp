#include "SfxpackFixture.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "FileIo.h"
#include "core/payload/PayloadFormat.h"
#include "Sfxpack.h"
#include "SyntheticPe.h"

namespace sfxtest {

std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

void WriteText(const fs::path& path, const std::string& text) {
  WriteBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

std::vector<std::uint8_t> FakeArchive() {
  std::vector<std::uint8_t> bytes(payload::k7zSignature.begin(), payload::k7zSignature.end());
  bytes.resize(32, '\0');
  for (const char c : std::string("setup.exe\n")) bytes.push_back(static_cast<std::uint8_t>(c));
  return bytes;
}

#ifdef _WIN32
ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(fs::path(name).native()) {
  if (const wchar_t* old = _wgetenv(name_.c_str())) old_ = old;
  _wputenv_s(name_.c_str(), fs::u8path(value).c_str());
}
ScopedEnv::~ScopedEnv() { _wputenv_s(name_.c_str(), old_ ? old_->c_str() : L""); }
#else
ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
  if (const char* old = std::getenv(name)) old_ = old;
  setenv(name, value.c_str(), 1);
}
ScopedEnv::~ScopedEnv() {
  if (old_)
    setenv(name_.c_str(), old_->c_str(), 1);
  else
    unsetenv(name_.c_str());
}
#endif

void SfxpackTest::UseReal7Zip() {
#ifdef _WIN32
  GTEST_SKIP() << "needs the real 7-Zip, which the Windows test machine lacks";
#else
  if (std::system("command -v 7zz >/dev/null") != 0) GTEST_SKIP() << "no 7zz on the PATH";
  sevenZip_.reset();
  sevenZip_.emplace("SFXPACK_7Z", "7zz");
#endif
}

void SfxpackTest::SetUp() {
  dir_ = fs::temp_directory_path() / ("sfxpack-test-" + sfxpack::RandomName());
  fs::create_directories(dir_);
  sevenZip_.emplace("SFXPACK_7Z", FAKE7Z_PATH);
  stub_ = Path("stub.exe");
  config_ = Path("config.txt");
  archive_ = Path("payload.7z");
  output_ = Path("setup.exe");
  WriteBytes(stub_, testsupport::StubLikeImage());
  WriteText(config_, kConfig);
  WriteBytes(archive_, FakeArchive());
  inputs_ = FolderContents();
}

int SfxpackTest::Run(const std::vector<std::string>& args) {
  out_.str("");
  err_.str("");
  return sfxpack::RunSfxpack(args, out_, err_);
}

int SfxpackTest::Build(const std::vector<std::string>& extra) {
  std::vector<std::string> args = {"build", "--stub", Arg(stub_), "--config", Arg(config_),
                                   "--output", Arg(output_)};
  if (std::find(extra.begin(), extra.end(), "--folder") == extra.end())
    args.insert(args.end(), {"--archive", Arg(archive_)});
  args.insert(args.end(), extra.begin(), extra.end());
  return Run(args);
}

void SfxpackTest::ExpectRefused(int code, const std::string& phrase) {
  EXPECT_EQ(code, 1);
  EXPECT_EQ(err_.str().rfind("sfxpack: error: ", 0), 0u) << err_.str();
  EXPECT_NE(err_.str().find(phrase), std::string::npos) << err_.str();
  EXPECT_FALSE(fs::exists(output_));
  EXPECT_EQ(FolderContents(), inputs_);
}

std::vector<std::string> SfxpackTest::FolderContents() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir_))
    names.push_back(entry.path().filename().u8string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace sfxtest
