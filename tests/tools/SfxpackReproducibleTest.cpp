// build --reproducible and SOURCE_DATE_EPOCH: equal inputs, equal bytes.
#include <gtest/gtest.h>

#include "SfxpackFixture.h"

namespace sfxtest {
namespace {

TEST_F(SfxpackTest, Reproducible_EqualInputsGiveEqualInstallersOthersDiffer) {
  ASSERT_EQ(Build({"--reproducible"}), 0) << err_.str();
  const auto first = ReadBytes(output_);
  ASSERT_EQ(Build({"--reproducible"}), 0) << err_.str();
  EXPECT_EQ(ReadBytes(output_), first);
  {
    ScopedEnv epoch("SOURCE_DATE_EPOCH", "1700000000");
    ASSERT_EQ(Build(), 0) << err_.str();
    EXPECT_EQ(ReadBytes(output_), first);
  }
  WriteText(config_, std::string(kConfig) + "SetupParams=/q\n");
  ASSERT_EQ(Build({"--reproducible"}), 0) << err_.str();
  const auto other = ReadBytes(output_);
  EXPECT_FALSE(std::equal(first.begin(), first.begin() + 1600, other.begin()));  // another IV
}

TEST_F(SfxpackTest, Reproducible_RefusesEpochThatIsNoNumber) {
  ScopedEnv epoch("SOURCE_DATE_EPOCH", "yesterday");
  ExpectRefused(Build(), "SOURCE_DATE_EPOCH is \"yesterday\"");
}

}  // namespace
}  // namespace sfxtest
