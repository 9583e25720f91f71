// A scratch folder holding a stub, a configuration and an archive, and
// runs of sfxpack inside the test's own process.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace sfxtest {

namespace fs = std::filesystem;

// The variable that names the temporary folder sfxpack uses.
#ifdef _WIN32
inline constexpr const char* kTempVariable = "TMP";
#else
inline constexpr const char* kTempVariable = "TMPDIR";
#endif

std::vector<std::uint8_t> ReadBytes(const fs::path& path);
void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes);
void WriteText(const fs::path& path, const std::string& text);
// What the fake 7-Zip writes for a folder holding setup.exe; nothing
// unpacks it.
std::vector<std::uint8_t> FakeArchive();

// Sets an environment variable (UTF-8 value) while it lives; on Windows
// through the wide environment that sfxpack reads.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  fs::path::string_type name_;
  std::optional<fs::path::string_type> old_;
};

class SfxpackTest : public ::testing::Test {
 protected:
  static constexpr const char* kConfig = "[main]\nProductName=Test product\nSetupFileName=setup.exe\n";

  void SetUp() override;
  void TearDown() override { fs::remove_all(dir_); }

  fs::path Path(const std::string& name) const { return dir_ / fs::u8path(name); }
  static std::string Arg(const fs::path& path) { return path.u8string(); }
  int Run(const std::vector<std::string>& args);
  // build with the fixture's paths; --archive unless extra holds --folder.
  int Build(const std::vector<std::string>& extra = {});
  // Exit code 1, the phrase in the message, no output and no other file
  // left behind in the folder.
  void ExpectRefused(int code, const std::string& phrase);
  std::vector<std::string> FolderContents() const;
  // Points sfxpack at the real 7-Zip instead of the fake, or skips the test
  // where there is none (check IsSkipped after it).
  void UseReal7Zip();

  std::optional<ScopedEnv> sevenZip_;  // the fake unless a test names another
  fs::path dir_, stub_, config_, archive_, output_;
  std::vector<std::string> inputs_;  // the folder's contents before the build
  std::ostringstream out_, err_;
};

}  // namespace sfxtest
