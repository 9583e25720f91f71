#include "core/handoff/ForwardedDataFormat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace forwarded;

namespace {

std::vector<std::uint8_t> Utf16Le(std::u16string_view text) {
  std::vector<std::uint8_t> bytes;
  for (const char16_t c : text) bytes.insert(bytes.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8)});
  return bytes;
}

// The last 64 KiB of a file ending with prefix, the block for data, suffix.
std::vector<std::uint8_t> Window(std::u16string_view data, std::size_t prefix = 100,
                                 std::size_t suffix = 0) {
  std::vector<std::uint8_t> bytes(prefix, 'x');
  const auto block = MakeTrailingBlock(data);
  bytes.insert(bytes.end(), block.begin(), block.end());
  bytes.resize(bytes.size() + suffix, 'y');
  bytes.insert(bytes.begin(), kTrailingWindow - bytes.size(), 'z');
  return bytes;
}

BlockResult Parse(const std::vector<std::uint8_t>& bytes, Values& values) {
  return ParseTrailingBlock(bytes.data(), bytes.size(), values);
}

TEST(SlotNames, AreRcdataNamesWithTheTwoPrefixes) {
  EXPECT_TRUE(IsSlotName(u"HLVID"));
  EXPECT_TRUE(IsSlotName(u"HLV"));
  EXPECT_TRUE(IsSlotName(u"HV_VOLTARIN_PHASH"));
  EXPECT_FALSE(IsSlotName(u"_HLV_VERIFY"));
  EXPECT_FALSE(IsSlotName(u"hlvid"));
  EXPECT_FALSE(IsSlotName(u"HV"));
  EXPECT_FALSE(IsSlotName(u"HVX"));
}

TEST(SlotText, EndsAtTheFirstZeroByteOrTheSlotsEnd) {
  const std::vector<std::uint8_t> zeros(256);
  EXPECT_EQ(SlotText(zeros.data(), zeros.size()), u"");
  std::vector<std::uint8_t> abc(256);
  std::memcpy(abc.data(), "abc\0def", 7);
  EXPECT_EQ(SlotText(abc.data(), abc.size()), u"abc");
  const std::vector<std::uint8_t> full(256, 'q');
  EXPECT_EQ(SlotText(full.data(), full.size()), std::u16string(256, u'q'));
  const std::string utf8 = "Pr\xC3\xBC" "f\xE2\x82\xAC\xF0\x9F\x98\x80";
  EXPECT_EQ(SlotText(reinterpret_cast<const std::uint8_t*>(utf8.data()), utf8.size()),
            u"Prüf€\U0001F600");
}

TEST(Utf8, MalformedSequencesBecomeReplacementCharacters) {
  EXPECT_EQ(Utf16FromUtf8("a\xFF" "b\xC3"), u"a\uFFFDb\uFFFD");
  EXPECT_EQ(Utf16FromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD");  // overlong "/"
  EXPECT_EQ(Utf16FromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // a surrogate
  EXPECT_EQ(Utf8FromUtf16(u"x\xD800y"), "x\xEF\xBF\xBDy");
  EXPECT_TRUE(IsUtf8("Установка \xF0\x9F\x98\x80"));
  EXPECT_FALSE(IsUtf8("caf\xE9"));
}

TEST(BlockMarkers, AreUtf16AndNeverStoredWhole) {
  EXPECT_EQ(MakeBlockStartMarker(), Utf16Le(u"##DATA##"));
  EXPECT_EQ(MakeBlockEndMarker(), Utf16Le(u"##ENDDATA##"));
}

TEST(TrailingBlock, SplitsEntriesAndDecodesEscapes) {
  Values values;
  ASSERT_EQ(Parse(Window(u"a=1&b=%41%42"), values), BlockResult::Read);
  EXPECT_EQ(values, (Values{{u"a", u"1"}, {u"b", u"AB"}}));
  ASSERT_EQ(Parse(Window(u"%61%3d=x%3D%25&c=d=e"), values), BlockResult::Read);
  EXPECT_EQ(values, (Values{{u"a=", u"x=%"}, {u"c", u"d=e"}}));
}

TEST(TrailingBlock, KeepsEmptyEntriesAndLetsTheLastOneWin) {
  Values values;
  ASSERT_EQ(Parse(Window(u"x"), values), BlockResult::Read);
  EXPECT_EQ(values, (Values{{u"x", u""}}));
  DropEmptyValues(values);
  EXPECT_TRUE(values.empty());
  ASSERT_EQ(Parse(Window(u"a=1&&a=2&"), values), BlockResult::Read);
  EXPECT_EQ(values, (Values{{u"", u""}, {u"a", u"2"}}));
  ASSERT_EQ(Parse(Window(u""), values), BlockResult::Read);
  EXPECT_TRUE(values.empty());
}

TEST(TrailingBlock, RefusesBrokenEscapesAsAWhole) {
  Values values{{u"old", u"1"}};
  EXPECT_EQ(Parse(Window(u"a=%4"), values), BlockResult::Invalid);
  EXPECT_TRUE(values.empty());
  EXPECT_EQ(Parse(Window(u"a=1&b=%"), values), BlockResult::Invalid);
  EXPECT_EQ(Parse(Window(u"a=%zz&b=1"), values), BlockResult::Invalid);
  EXPECT_EQ(Parse(Window(u"%4=1"), values), BlockResult::Invalid);
  EXPECT_TRUE(values.empty());
}

TEST(TrailingBlock, NeedsBothMarkers) {
  Values values;
  EXPECT_EQ(Parse(std::vector<std::uint8_t>(kTrailingWindow, '#'), values), BlockResult::NotFound);
  auto bytes = Window(u"a=1");
  bytes.resize(bytes.size() - 2);  // the end marker loses its last character
  EXPECT_EQ(Parse(bytes, values), BlockResult::Invalid);
  auto start = MakeBlockStartMarker();
  start.resize(start.size() + 10, 'a');
  EXPECT_EQ(Parse(start, values), BlockResult::Invalid);
}

TEST(TrailingBlock, FindsBlockAnywhereInTheWindowAndOnlyWholeCharacters) {
  Values values;
  ASSERT_EQ(Parse(Window(u"a=1", 101, 333), values), BlockResult::Read);  // odd offset, data behind
  EXPECT_EQ(values, (Values{{u"a", u"1"}}));
  // An end marker one byte off the data's characters does not count.
  std::vector<std::uint8_t> bytes = MakeBlockStartMarker();
  bytes.push_back('a');
  const auto end = MakeBlockEndMarker();
  bytes.insert(bytes.end(), end.begin(), end.end());
  EXPECT_EQ(Parse(bytes, values), BlockResult::Invalid);
}

TEST(BlockData, EncodesWhatTheSyntaxGivesAMeaningAndRoundTrips) {
  const Values values{{u"a&b", u"1=2%#"}, {u"x", u""}, {u"ü€", u"line\r\n"}};
  const std::u16string data = EncodeBlockData(values);
  EXPECT_EQ(data, u"a%26b=1%3D2%25%23&x=&ü€=line%0D%0A");
  Values back;
  ASSERT_TRUE(ParseBlockData(data, back));
  EXPECT_EQ(back, values);
}

TEST(FileNameIdentifier, TakesSixteenLettersOrDigitsAfterPh) {
  EXPECT_EQ(FileNameIdentifier("Product--ph0123456789abcdef.exe"), "0123456789abcdef");
  EXPECT_EQ(FileNameIdentifier("C:\\dl\\Setup--ph0123456789abcdef (2).exe"), "0123456789abcdef");
  EXPECT_EQ(FileNameIdentifier("/tmp/a.b/x--phABCDEFGHIJKLMNOP.v1.exe"), "ABCDEFGHIJKLMNOP");
  EXPECT_EQ(FileNameIdentifier("Prüfung--ph0123456789abcdef–ü.exe"), "0123456789abcdef");
  EXPECT_FALSE(FileNameIdentifier("Product--ph0123456789abcdefg.exe"));  // 17
  EXPECT_FALSE(FileNameIdentifier("Product--ph0123456789abcde.exe"));    // 15
  EXPECT_FALSE(FileNameIdentifier("Product--PH0123456789abcdef.exe"));
  EXPECT_FALSE(FileNameIdentifier("Product--ph0123456789abcdef"));  // no period
  EXPECT_FALSE(FileNameIdentifier("C:\\x.y\\Product--ph0123456789abcdef"));
  EXPECT_FALSE(FileNameIdentifier(".exe"));
}

TEST(FileNameIdentifier, ALaterTooLongIdentifierLeavesAnEarlierOne) {
  EXPECT_EQ(FileNameIdentifier("a--ph1111111111111111-b--ph0123456789abcdefg.exe"), "1111111111111111");
  EXPECT_EQ(FileNameIdentifier("a--ph1111111111111111-b--ph2222222222222222.exe"), "2222222222222222");
}

TEST(SetupValuesText, OneLinePerEntryInCodeUnitOrder) {
  const Values values{{u"HV_VOLTARIN_PHASH", u"p"}, {u"HLVID2", u"i2"}, {u"HLVID", u"Prüf"}};
  EXPECT_EQ(SetupValuesText(values), "HLVID=Pr\xC3\xBC" "f\r\nHLVID2=i2\r\nHV_VOLTARIN_PHASH=p\r\n");
  EXPECT_EQ(SetupValuesText({}), "");
}

TEST(SetupValuesText, LeavesOutEntriesThatWouldForgeOrBreakLines) {
  const Values values{{u"a", u"1\r\nHLVID2=forged"}, {u"b=c", u"2"}, {u"", u"3"},
                      {std::u16string(u"d\0e", 3), u"4"}, {u"f", u"5"}, {u"g", std::u16string(u"6\0", 2)}};
  EXPECT_EQ(SetupValuesText(values), "f=5\r\n");
  EXPECT_TRUE(IsForwardable(u"f", u""));
  EXPECT_FALSE(IsForwardable(u"f\n", u"5"));
}

}  // namespace
