// An interrupted build ends cleanly: 7-Zip stopped, nothing left behind.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <chrono>
#include <fstream>
#include <thread>

#include <boost/process/child.hpp>
#include <boost/process/env.hpp>
#include <boost/process/io.hpp>
#include <boost/process/search_path.hpp>
#include <signal.h>

#include "SfxpackFixture.h"

namespace bp = boost::process;

namespace sfxtest {
namespace {

using SfxpackInterruptTest = SfxpackTest;

// Processes whose command line names the folder: 7-Zip names its archive
// there.
bool AnyProcessMentions(const std::string& text) {
  for (const auto& entry : fs::directory_iterator("/proc")) {
    std::ifstream in(entry.path() / "cmdline", std::ios::binary);
    const std::string cmdline((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (cmdline.find(text) != std::string::npos) return true;
  }
  return false;
}

TEST_F(SfxpackInterruptTest, Build_StoppedBySigtermLeavesNothingBehind) {
  if (bp::search_path("7zz").empty()) GTEST_SKIP() << "7zz is not on the PATH";
  const fs::path files = Path("files"), temp = Path("temp");
  fs::create_directories(files);
  fs::create_directories(temp);
  WriteText(files / "setup.exe", "MZ");
  // Random data does not compress: 7-Zip takes many seconds over it.
  {
    std::ifstream random("/dev/urandom", std::ios::binary);
    std::ofstream big(files / "data.bin", std::ios::binary);
    std::vector<char> chunk(1 << 20);
    for (int i = 0; i < 300; ++i) {
      random.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
      big.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    }
  }
  bp::environment env = boost::this_process::environment();  // a copy: the test's own stays
  env["TMPDIR"] = Arg(temp);
  env["SFXPACK_7Z"] = "7zz";
  bp::child sfxpack(SFXPACK_PATH, "build", "--stub", Arg(stub_), "--config", Arg(config_), "--folder", Arg(files),
                    "--output", Arg(output_), "--threads", "1", env, bp::std_in < bp::null, bp::std_out > bp::null,
                    bp::std_err > Arg(Path("stderr.txt")));
  std::this_thread::sleep_for(std::chrono::seconds(2));
  ASSERT_TRUE(sfxpack.running()) << "the build ended before the signal";
  ASSERT_EQ(kill(sfxpack.id(), SIGTERM), 0);
  if (!sfxpack.wait_for(std::chrono::seconds(60))) {
    sfxpack.terminate();
    FAIL() << "sfxpack did not end within 60 s of SIGTERM";
  }
  EXPECT_EQ(sfxpack.exit_code(), 143);
  std::ifstream err(Path("stderr.txt"));
  const std::string message((std::istreambuf_iterator<char>(err)), std::istreambuf_iterator<char>());
  EXPECT_EQ(message, "sfxpack: interrupted; nothing written, temporary files removed\n");
  EXPECT_TRUE(fs::is_empty(temp));
  EXPECT_FALSE(fs::exists(output_));
  EXPECT_FALSE(AnyProcessMentions(Arg(temp)));
}

}  // namespace
}  // namespace sfxtest
#endif
