#include "core/handoff/SignatureTag.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <string>

#include "SyntheticSignature.h"

using namespace forwarded;

namespace {

using Bytes = std::vector<std::uint8_t>;
using testsupport::NestedSignature;

Bytes Table(const Bytes& unsignedAttributes = {}) { return testsupport::SignatureTable(unsignedAttributes); }

Bytes Tagged(const Bytes& table, const Values& values) {
  Bytes out;
  EXPECT_EQ(SetSignatureTag(table.data(), table.size(), values, out), TagError::None);
  return out;
}

TagResult Read(const Bytes& table, Values& values) { return ReadSignatureTag(table.data(), table.size(), values); }

std::size_t Count(const Bytes& haystack, const Bytes& needle) {
  std::size_t count = 0;
  for (auto at = haystack.begin(); (at = std::search(at, haystack.end(), needle.begin(), needle.end())) != haystack.end(); ++at)
    ++count;
  return count;
}

const Values kValues = {{u"order", u"A-17"}, {u"campaign", u"spring & more = 100%"}};

TEST(SignatureTag, ReadsBackWhatWasSetAcrossLengthForms) {
  const Values large = {{u"licence", std::u16string(3000, u'k')}};
  for (const Values& values : {kValues, large}) {
    Values read;
    ASSERT_EQ(Read(Tagged(Table(), values), read), TagResult::Read);
    EXPECT_EQ(read, values);
  }
}

TEST(SignatureTag, SignatureWithoutTagHasNone) {
  Values read;
  EXPECT_EQ(Read(Table(), read), TagResult::NoTag);
  EXPECT_EQ(Read(Table(NestedSignature()), read), TagResult::NoTag);
}

TEST(SignatureTag, TaggingAgainReplacesTheValues) {
  const Bytes twice = Tagged(Tagged(Table(), kValues), {{u"order", u"B-2"}});
  Values read;
  ASSERT_EQ(Read(twice, read), TagResult::Read);
  EXPECT_EQ(read, (Values{{u"order", u"B-2"}}));
  EXPECT_EQ(twice, Tagged(Table(), {{u"order", u"B-2"}}));
}

TEST(SignatureTag, NestedSignatureStaysBesideTheTag) {
  const Bytes nested = NestedSignature();
  const Bytes tagged = Tagged(Table(nested), kValues);
  EXPECT_EQ(Count(tagged, nested), 1u);
  Values read;
  ASSERT_EQ(Read(tagged, read), TagResult::Read);
  EXPECT_EQ(read, kValues);
}

TEST(SignatureTag, EntryIsPaddedAndEntriesBehindItStay) {
  Bytes table = Table();
  const Bytes second = {16, 0, 0, 0, 0x00, 0x02, 0x01, 0x00, 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
  table.insert(table.end(), second.begin(), second.end());
  const Bytes tagged = Tagged(table, kValues);
  const std::uint32_t length = tagged[0] | tagged[1] << 8 | tagged[2] << 16 | tagged[3] << 24;
  EXPECT_EQ(length % 8, 0u);
  EXPECT_EQ(Bytes(tagged.begin() + length, tagged.end()), second);
}

TEST(SignatureTag, RefusesWhatItCannotTag) {
  Bytes table = Table();
  Bytes out;
  EXPECT_EQ(SetSignatureTag(table.data(), table.size(), {{u"a", std::u16string(kTagTextLimit / 2, u'x')}}, out),
            TagError::TextTooLong);
  EXPECT_EQ(SetSignatureTag(table.data(), 20, kValues, out), TagError::Malformed);
  table[6] = 1;  // an X.509 certificate entry, not a signature
  EXPECT_EQ(SetSignatureTag(table.data(), table.size(), kValues, out), TagError::NotSigned);
}

// Where a marker of the tag's block begins in a tagged table.
std::size_t Find(const Bytes& tagged, const Bytes& marker) {
  return static_cast<std::size_t>(std::search(tagged.begin(), tagged.end(), marker.begin(), marker.end()) - tagged.begin());
}

TEST(SignatureTag, DamagedTablesGiveNoValues) {
  const Bytes tagged = Tagged(Table(NestedSignature()), kValues);
  const std::size_t text = Find(tagged, MakeBlockStartMarker()), end = Find(tagged, MakeBlockEndMarker());
  const std::pair<const char*, std::function<void(Bytes&)>> damages[] = {
      {"entry longer than the table", [](Bytes& t) { t[1] += 8; }},
      {"outer length too long", [](Bytes& t) { ++t[11]; }},
      {"outer length too short", [](Bytes& t) { --t[11]; }},
      {"indefinite length", [](Bytes& t) { t[9] = 0x80; }},
      {"truncated attribute", [&](Bytes& t) { t.resize(text + 10); t[0] = static_cast<std::uint8_t>(t.size()); t[1] = static_cast<std::uint8_t>(t.size() >> 8); }},
      {"value not an octet string", [&](Bytes& t) { t[text - 4] = 0x0C; }},
      {"octet string longer than its set", [&](Bytes& t) { ++t[text - 1]; }},
      {"block without end marker", [&](Bytes& t) { t[end + 2] = 'X'; }},
  };
  for (const auto& [what, damage] : damages) {
    Bytes table = tagged;
    damage(table);
    Values read{{u"stale", u"x"}};
    EXPECT_EQ(Read(table, read), TagResult::Damaged) << what;
    EXPECT_TRUE(read.empty()) << what;
  }
}

}  // namespace
