// What the build does with an output path that is a link, a special file
// or a file with permissions of its own.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/sysmacros.h>
#endif

#include "Inspect.h"
#include "SfxpackFixture.h"

namespace sfxtest {
namespace {

TEST_F(SfxpackTest, Output_LinkIsFollowedAndStaysALink) {
  fs::create_directory(Path("sub"));
  WriteText(Path("sub") / "old.exe", "an older installer");
  for (const char* target : {"sub/old.exe", "sub/new.exe"}) {
    fs::remove(output_);
    std::error_code ec;
    fs::create_symlink(target, output_, ec);
    if (ec) GTEST_SKIP() << "no symbolic links here: " << ec.message();
    ASSERT_EQ(Build(), 0) << err_.str();
    EXPECT_TRUE(fs::is_symlink(output_));
    EXPECT_EQ(sfxpack::ReadInstaller(Path(target)).configText, kConfig) << target;
  }
}

#ifndef _WIN32
TEST_F(SfxpackTest, Output_DeviceOrPipeIsRefusedAndLeftAsItIs) {
  const std::pair<const char*, mode_t> kinds[] = {{"pipe", S_IFIFO}, {"device", S_IFCHR}};
  for (const auto& [kind, type] : kinds) {
    fs::remove(output_);
    // A device node needs the right to make one; the null device's numbers.
    if (mknod(output_.c_str(), type | 0600, makedev(1, 3)) != 0) continue;
    const auto contents = FolderContents();
    EXPECT_EQ(Build(), 1) << kind;
    EXPECT_NE(err_.str().find("is not a regular file"), std::string::npos) << err_.str();
    struct stat after = {};
    ASSERT_EQ(lstat(output_.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & S_IFMT, type) << kind;
    EXPECT_EQ(FolderContents(), contents) << kind;
  }
}

TEST_F(SfxpackTest, Output_ReplacedFileKeepsItsPermissions) {
  WriteText(output_, "an older installer");
  fs::permissions(output_, fs::perms(0750));
  ASSERT_EQ(Build(), 0) << err_.str();
  EXPECT_EQ(fs::status(output_).permissions(), fs::perms(0750));
}
#endif

}  // namespace
}  // namespace sfxtest
