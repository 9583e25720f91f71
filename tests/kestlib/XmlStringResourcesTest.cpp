#include "kestlib/localization/XmlStringResourcesLoader.h"

#include <gtest/gtest.h>

#include <ios>
#include <sstream>
#include <string>
#include <system_error>

#include <boost/property_tree/xml_parser.hpp>

namespace {

using kestlib::LoadXmlStringResources;
using kestlib::StringTable;

// Reads a UTF-8 document with the default (any) root element.
StringTable Load(const std::string& document, const std::wstring& rootName = L"") {
  StringTable table;
  std::istringstream bytes(document);
  LoadXmlStringResources(&table, bytes, rootName);
  return table;
}

std::wstring TextOf(const std::string& storedText) {
  return Load("<HlvSetupLocalization><String Id=\"T\">" + storedText + "</String></HlvSetupLocalization>").at(L"T");
}

TEST(XmlStringTextTest, BackslashNIsALineFeedAndALiteralLineBreakOneSpace) {
  EXPECT_EQ(TextOf(R"(first\nsecond)"), L"first\nsecond");
  EXPECT_EQ(TextOf("first\r\n     second"), L"first second");
}

TEST(XmlStringTextTest, WhiteSpaceIsTrimmedAndRunsBecomeOneSpace) {
  EXPECT_EQ(TextOf("\n\t  Starting \t\t installation...  \n"), L"Starting installation...");
  EXPECT_EQ(TextOf("   "), L"");
}

TEST(XmlStringTextTest, LineFeedPassRunsBeforeBackslashPass) {
  EXPECT_EQ(TextOf(R"(\\n)"), L"\\\n");
}

TEST(XmlStringTextTest, DoubledBackslashesHalve) {
  EXPECT_EQ(TextOf(R"(\\Server)"), L"\\Server");
  EXPECT_EQ(TextOf(R"(\\\\Server\\share)"), L"\\\\Server\\share");
}

TEST(XmlStringTextTest, BackslashTIsATabAndOtherSequencesStay) {
  EXPECT_EQ(TextOf(R"(a\tb)"), L"a\tb");
  EXPECT_EQ(TextOf(R"(a\rb)"), L"a\\rb");
  EXPECT_EQ(TextOf(R"({\rtf1 \b bold\b0 })"), L"{\\rtf1 \\b bold\\b0 }");
}

TEST(XmlStringTextTest, EntitiesAndCharacterReferencesAreDecoded) {
  EXPECT_EQ(TextOf("&amp;Ignore"), L"&Ignore");
  EXPECT_EQ(TextOf("&quot;a&quot; &lt;b&gt; &apos;c&apos; &#65;&#x42;"), L"\"a\" <b> 'c' AB");
}

TEST(XmlStringTextTest, Utf8BecomesUtf16WithSurrogatePairs) {
  EXPECT_EQ(TextOf("Gr\xC3\xBC\xC3\x9F" "e \xE6\x97\xA5 \xF0\x9F\x98\x80"), L"Gr\u00FC\u00DFe \u65E5 \xD83D\xDE00");
}

TEST(XmlStringDocumentTest, ByteOrderMarkDeclarationAndCommentsAreIgnored) {
  const StringTable table = Load(
      "\xEF\xBB\xBF<?xml version='1.0' encoding='UTF-8'?>\n"
      "<?xml-stylesheet type='text/xsl' href='HlvSetupText.xsl'?>\n"
      "<!-- texts -->\n<HlvSetupLocalization><!-- none --><String Id=\"OK\">OK</String></HlvSetupLocalization>");
  EXPECT_EQ(table, (StringTable{{L"OK", L"OK"}}));
}

TEST(XmlStringDocumentTest, LaterEntryOfTheSameIdWins) {
  const StringTable table =
      Load("<HlvSetupLocalization><String Id=\"A\">first</String><String Id=\"B\">b</String>"
           "<String Id=\"A\">second</String></HlvSetupLocalization>");
  EXPECT_EQ(table, (StringTable{{L"A", L"second"}, {L"B", L"b"}}));
}

TEST(XmlStringDocumentTest, IdsAreCaseSensitive) {
  const StringTable table =
      Load("<HlvSetupLocalization><String Id=\"ok\">a</String><String Id=\"OK\">b</String></HlvSetupLocalization>");
  EXPECT_EQ(table.size(), 2u);
}

TEST(XmlStringDocumentTest, ReplacesTextsOfTheTableAndKeepsOthers) {
  StringTable table{{L"A", L"old"}, {L"Kept", L"kept"}};
  std::istringstream bytes("<HlvSetupLocalization><String Id=\"A\">new</String></HlvSetupLocalization>");
  LoadXmlStringResources(&table, bytes, L"");
  EXPECT_EQ(table, (StringTable{{L"A", L"new"}, {L"Kept", L"kept"}}));
}

TEST(XmlStringDocumentTest, OnlyStringElementsAreRead) {
  const StringTable table = Load(
      "<HlvSetupLocalization><Text Id=\"A\">a</Text><string Id=\"B\">b</string><String Id=\"C\">c</String>"
      "</HlvSetupLocalization>");
  EXPECT_EQ(table, (StringTable{{L"C", L"c"}}));
}

TEST(XmlStringDocumentTest, DocumentWithoutStringElementsIsAnEmptyTable) {
  EXPECT_TRUE(Load("<HlvSetupLocalization><!-- nothing yet --></HlvSetupLocalization>").empty());
  EXPECT_TRUE(Load("<HlvSetupLocalization/>").empty());
}

TEST(XmlStringDocumentTest, AnyRootNameWhenNoneIsGiven) {
  EXPECT_EQ(Load("<Texts><String Id=\"A\">a</String></Texts>"), (StringTable{{L"A", L"a"}}));
}

TEST(XmlStringDocumentTest, GivenRootNameIsAPath) {
  EXPECT_EQ(Load("<Setup><Texts><String Id=\"A\">a</String></Texts></Setup>", L"Setup.Texts"),
            (StringTable{{L"A", L"a"}}));
}

TEST(XmlStringErrorTest, WrongRootIsBadData) {
  try {
    Load("<Texts><String Id=\"A\">a</String></Texts>", L"HlvSetupLocalization");
    FAIL() << "no error";
  } catch (const std::system_error& error) {
    EXPECT_STREQ(error.code().category().name(), "kestlib.ptree_error");
    EXPECT_EQ(error.code().value(), 3);
    EXPECT_STREQ(error.what(), "XML error (root element 'HlvSetupLocalization' not found): bad data");
  }
}

TEST(XmlStringErrorTest, DocumentWithoutElementsHasNoRoot) {
  try {
    Load("<?xml version='1.0'?><!-- only a comment -->");
    FAIL() << "no error";
  } catch (const std::system_error& error) {
    EXPECT_EQ(error.code(), kestlib::make_error_code(kestlib::PtreeErrc::BadData));
    EXPECT_STREQ(error.what(), "XML error (root element '' not found): bad data");
  }
}

TEST(XmlStringErrorTest, MissingIdIsBadPathAndEarlierTextsStay) {
  StringTable table;
  std::istringstream bytes(
      "<HlvSetupLocalization><String Id=\"A\">a</String><String>lost</String><String Id=\"B\">b</String>"
      "</HlvSetupLocalization>");
  try {
    LoadXmlStringResources(&table, bytes, L"");
    FAIL() << "no error";
  } catch (const std::system_error& error) {
    EXPECT_EQ(error.code(), kestlib::make_error_code(kestlib::PtreeErrc::BadPath));
    EXPECT_STREQ(error.what(), "XML error: No such node (<xmlattr>.Id): bad path");
  }
  EXPECT_EQ(table, (StringTable{{L"A", L"a"}}));
}

TEST(XmlStringErrorTest, MalformedXmlIsTheReadersParseErrorWithTheLine) {
  try {
    Load("<HlvSetupLocalization>\n<String Id=A>a</String>\n</HlvSetupLocalization>");
    FAIL() << "no error";
  } catch (const boost::property_tree::xml_parser_error& error) {
    EXPECT_EQ(error.line(), 2u);
    EXPECT_EQ(std::string(error.what()).rfind("<unspecified file>(2): ", 0), 0u) << error.what();
  }
}

TEST(XmlStringErrorTest, UndecodableUtf8IsAnError) {
  EXPECT_THROW(Load("<HlvSetupLocalization><String Id=\"A\">\xC3\x28</String></HlvSetupLocalization>"),
               std::ios_base::failure);
  EXPECT_THROW(Load("<HlvSetupLocalization><String Id=\"A\">a</String></HlvSetupLocalization>\xFF"),
               std::ios_base::failure);
}

}  // namespace
