#include "core/payload/PayloadFormat.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

template <typename Array>
void AppendArray(Bytes& out, const Array& a) { out.insert(out.end(), a.begin(), a.end()); }

// image, start marker, block, end marker, then tail bytes.
Bytes Container(const Bytes& block, std::size_t imageSize = 64, std::size_t tail = 32) {
  Bytes file(imageSize, 'M');
  AppendArray(file, payload::MakeStartMarker());
  AppendArray(file, block);
  AppendArray(file, payload::MakeEndMarker());
  file.insert(file.end(), tail, 0x7A);
  return file;
}

Bytes Enciphered(const std::string& text) {
  payload::Iv iv{};
  for (std::size_t i = 0; i < iv.size(); ++i) iv[i] = static_cast<std::uint8_t>(i * 17 + 3);
  return payload::EncipherText(text, iv);
}

TEST(FindConfigBlock, FindsBlockBetweenMarkers) {
  const Bytes block = Enciphered("[main]\nProductName=X\n");
  const Bytes file = Container(block);
  const auto found = payload::FindConfigBlock(file.data(), file.size());
  ASSERT_TRUE(found);
  EXPECT_EQ(found->offset, 64u + payload::kStartMarkerSize);
  EXPECT_EQ(found->length, block.size());
}

TEST(FindConfigBlock, FileWithoutMarkersOrWithOnlyOneHasNoBlock) {
  const Bytes plain(4096, 'x');
  EXPECT_FALSE(payload::FindConfigBlock(plain.data(), plain.size()));

  Bytes startOnly(64, 'M');
  AppendArray(startOnly, payload::MakeStartMarker());
  startOnly.insert(startOnly.end(), 100, 'b');
  EXPECT_FALSE(payload::FindConfigBlock(startOnly.data(), startOnly.size()));
}

TEST(FindConfigBlock, EndMarkerRightAfterStartMarkerIsNotAnEmptyBlock) {
  const Bytes file = Container(Bytes{});
  EXPECT_FALSE(payload::FindConfigBlock(file.data(), file.size()));
}

TEST(FindConfigBlock, OneByteBlockIsFound) {
  const Bytes file = Container(Bytes{'x'});
  const auto found = payload::FindConfigBlock(file.data(), file.size());
  ASSERT_TRUE(found);
  EXPECT_EQ(found->length, 1u);
}

TEST(FindConfigBlock, EndMarkerBeforeTheStartMarkerIsIgnored) {
  Bytes file;
  AppendArray(file, payload::MakeEndMarker());
  const Bytes rest = Container(Bytes(16, 'k'));
  file.insert(file.end(), rest.begin(), rest.end());
  const auto found = payload::FindConfigBlock(file.data(), file.size());
  ASSERT_TRUE(found);
  EXPECT_EQ(found->length, 16u);
}

TEST(FindConfigBlock, SecondStartMarkerInsideTheBlockIsBlockData) {
  Bytes block(8, 'a');
  AppendArray(block, payload::MakeStartMarker());
  const Bytes file = Container(block);
  const auto found = payload::FindConfigBlock(file.data(), file.size());
  ASSERT_TRUE(found);
  EXPECT_EQ(found->length, block.size());
}

TEST(FindConfigBlock, FirstPairWinsOverALaterPair) {
  Bytes file = Container(Bytes(16, 'a'));
  const Bytes second = Container(Bytes(48, 'b'), 0);
  file.insert(file.end(), second.begin(), second.end());
  const auto found = payload::FindConfigBlock(file.data(), file.size());
  ASSERT_TRUE(found);
  EXPECT_EQ(found->length, 16u);
}

TEST(FindConfigBlock, TheLastTwentyBytesAreNotScanned) {
  // The end marker starts at size - 20: just outside the scanned range.
  const Bytes block(16, 'a');
  const Bytes missed = Container(block, 64, 5);
  EXPECT_FALSE(payload::FindConfigBlock(missed.data(), missed.size()));
  const Bytes seen = Container(block, 64, 6);
  EXPECT_TRUE(payload::FindConfigBlock(seen.data(), seen.size()));
}

TEST(FindConfigBlock, TwentyBytesOrLessAreNotScannedAtAll) {
  Bytes tiny;
  AppendArray(tiny, payload::MakeStartMarker());
  tiny.resize(20, ';');
  EXPECT_FALSE(payload::FindConfigBlock(tiny.data(), tiny.size()));
  EXPECT_FALSE(payload::FindConfigBlock(tiny.data(), 0));
}

TEST(FindAnyMarker, ReportsEitherMarkerAndNothingInPlainBytes) {
  Bytes bytes(10, ';');
  EXPECT_FALSE(payload::FindAnyMarker(bytes.data(), bytes.size()));
  AppendArray(bytes, payload::MakeEndMarker());
  EXPECT_EQ(payload::FindAnyMarker(bytes.data(), bytes.size()), std::optional<std::size_t>(10));
  // A marker cut off by the end of the data is no marker.
  EXPECT_FALSE(payload::FindAnyMarker(bytes.data(), bytes.size() - 1));
}

TEST(ConfigBlockCipher, RoundTripKeepsTextOfEveryLength) {
  for (std::size_t length : {0u, 1u, 15u, 16u, 17u, 31u, 32u, 1000u}) {
    std::string text(length, 'x');
    for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<char>('a' + i % 26);
    const Bytes block = Enciphered(text);
    EXPECT_EQ(block.size() % 16, 0u);
    EXPECT_GT(block.size(), 16u + length);
    EXPECT_EQ(payload::DecipherBlock(block.data(), block.size()), text) << "length " << length;
  }
}

TEST(ConfigBlockCipher, CiphertextDoesNotShowThePlainText) {
  const std::string text = "[main]\nProductName=Visible Product Name\n";
  const Bytes block = Enciphered(text);
  const std::string raw(block.begin(), block.end());
  EXPECT_EQ(raw.find("ProductName"), std::string::npos);
}

TEST(ConfigBlockCipher, IllFormedBlocksGiveEmptyText) {
  const Bytes block = Enciphered("some text");
  EXPECT_EQ(payload::DecipherBlock(block.data(), 16), "");
  EXPECT_EQ(payload::DecipherBlock(block.data(), 16 + 20), "");
  EXPECT_EQ(payload::DecipherBlock(block.data(), 8), "");
}

TEST(ConfigBlockCipher, PaddingCountAboveSixteenRemovesSixteenBytes) {
  // Plain text of 32 bytes whose last byte is 0x20: the whole last block goes.
  std::string text(31, 'a');
  text += ' ';
  Bytes block = Enciphered(text);
  block.resize(block.size() - 16);  // drop the padding block the builder added
  EXPECT_EQ(payload::DecipherBlock(block.data(), block.size()), std::string(16, 'a'));
}

TEST(ConfigBlockCipher, ZeroPaddingCountRemovesNothing) {
  std::string text(15, 'a');
  text += '\0';
  Bytes block = Enciphered(text);
  block.resize(block.size() - 16);
  EXPECT_EQ(payload::DecipherBlock(block.data(), block.size()), text);
}

}  // namespace
