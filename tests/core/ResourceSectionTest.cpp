#include "core/pe/ResourceSection.h"

#include <gtest/gtest.h>

#include "SyntheticPe.h"
#include "core/pe/IconFile.h"
#include "core/pe/VersionInfo.h"

namespace {

using kestlib::Resource;

// Both kinds of stub image: PE32 and PE32+ keep their data directories in
// different places.
class ResourceSectionKinds : public ::testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(Pe32AndPe32Plus, ResourceSectionKinds, ::testing::Bool());

TEST_P(ResourceSectionKinds, RewrittenSectionKeepsEveryResourceAndAddsNewOnes) {
  const auto stub = testsupport::StubLikeImage(GetParam());
  auto resources = kestlib::ReadResources(stub.data(), stub.size());
  ASSERT_TRUE(resources);
  ASSERT_EQ(resources->size(), 2u);
  (*resources)[1].data = {1, 2, 3, 4, 5, 6, 7, 8};  // _HLV_VERIFY
  resources->push_back({{kestlib::kResourceTypeVersion, {}}, {1, {}}, 0x409, 0, std::vector<std::uint8_t>(3000, 7)});

  const auto image = kestlib::ReplaceResources(stub.data(), stub.size(), *resources);
  ASSERT_TRUE(image);
  kestlib::PeImage pe;
  ASSERT_EQ(kestlib::ParsePeImage(image->data(), image->size(), pe), kestlib::PeError::None);
  EXPECT_EQ(kestlib::ImageEnd(pe), image->size());
  EXPECT_EQ(pe.magic, GetParam() ? kestlib::kPe32PlusMagic : kestlib::kPe32Magic);
  const auto verify = kestlib::LocateResource(image->data(), image->size(), pe, kestlib::kResourceTypeRcdata,
                                              u"_hlv_verify");
  ASSERT_TRUE(verify);
  EXPECT_EQ(std::vector<std::uint8_t>(image->begin() + verify->offset, image->begin() + verify->offset + 8),
            (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  const auto again = kestlib::ReadResources(image->data(), image->size());
  ASSERT_TRUE(again);
  ASSERT_EQ(again->size(), 3u);
  EXPECT_EQ(again->back().data, resources->back().data);
  EXPECT_EQ(again->back().language, 0x409);
}

TEST(ResourceSection, RefusesImageItCannotRewriteInPlace) {
  auto signedImage = testsupport::StubLikeImage();
  testsupport::WriteLe32(signedImage, 0x80 + 24 + 96 + 4 * 8, static_cast<std::uint32_t>(signedImage.size()));
  auto behind = testsupport::StubLikeImage();
  behind.push_back(0);
  auto badTree = testsupport::StubLikeImage();
  testsupport::WriteLe16(badTree, 0x400 + 14, 0xFFFF);  // more root entries than the section holds
  for (const auto& bytes : {signedImage, behind}) {
    const auto resources = kestlib::ReadResources(bytes.data(), bytes.size());
    ASSERT_TRUE(resources);
    EXPECT_FALSE(kestlib::ReplaceResources(bytes.data(), bytes.size(), *resources));
  }
  EXPECT_FALSE(kestlib::ReadResources(badTree.data(), badTree.size()));
}

TEST(VersionInfo, ReadsBackWhatItWrites) {
  kestlib::VersionInfo info;
  info.fileVersion = {2, 5, 1, 7};
  info.productVersion = {2, 5, 0, 0};
  info.strings = {{u"ProductName", u"Acme – Tools"}, {u"CompanyName", u"Acme"}, {u"Comments", u""}};
  const auto bytes = kestlib::BuildVersionInfo(info);
  const auto read = kestlib::ReadVersionInfo(bytes.data(), bytes.size());
  ASSERT_TRUE(read);
  EXPECT_EQ(read->fileVersion, info.fileVersion);
  EXPECT_EQ(read->productVersion, info.productVersion);
  EXPECT_EQ(read->strings, info.strings);
  // Every shorter prefix is refused or read without going past its end.
  for (std::size_t size = 0; size < bytes.size(); ++size) kestlib::ReadVersionInfo(bytes.data(), size);
}

TEST(VersionInfo, ParsesOneToFourNumbers) {
  using V = kestlib::FileVersion;
  EXPECT_EQ(kestlib::ParseFileVersion("3"), (V{3, 0, 0, 0}));
  EXPECT_EQ(kestlib::ParseFileVersion("1.2.3.65535"), (V{1, 2, 3, 65535}));
  for (const char* bad : {"", "1.2.3.4.5", "65536", "1..2", "1.", "v1", "1.2-beta"})
    EXPECT_FALSE(kestlib::ParseFileVersion(bad)) << bad;
}

TEST(IconFile, GroupNamesTheImagesByTheirNewIds) {
  std::vector<std::uint8_t> ico = {0, 0, 1, 0, 2, 0};
  const std::uint8_t entries[2][16] = {{16, 16, 0, 0, 1, 0, 32, 0, 3, 0, 0, 0, 38, 0, 0, 0},
                                       {32, 32, 0, 0, 1, 0, 32, 0, 2, 0, 0, 0, 41, 0, 0, 0}};
  for (const auto& e : entries) ico.insert(ico.end(), e, e + 16);
  ico.insert(ico.end(), {'a', 'b', 'c', 'd', 'e'});
  const auto icon = kestlib::ReadIconFile(ico.data(), ico.size(), 5);
  ASSERT_TRUE(icon);
  EXPECT_EQ(icon->images, (std::vector<std::vector<std::uint8_t>>{{'a', 'b', 'c'}, {'d', 'e'}}));
  ASSERT_EQ(icon->group.size(), 6u + 2 * 14);
  EXPECT_EQ(icon->group[6 + 12], 5);
  EXPECT_EQ(icon->group[6 + 14 + 12], 6);
  ico.pop_back();  // the second image now ends beyond the file
  EXPECT_FALSE(kestlib::ReadIconFile(ico.data(), ico.size(), 5));
}

}  // namespace
