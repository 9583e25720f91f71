#include "core/ui/RtfText.h"

#include <gtest/gtest.h>

namespace {

using kestlib::BuildRtfDocument;
using kestlib::ConvertLinks;
using kestlib::ToRtfBody;

TEST(ToRtfBody, EscapesWhatRtfReadsAsMarkup) {
  EXPECT_EQ(ToRtfBody(L"C:\\Temp\\{a}\tb\r\nc"), "C:\\\\Temp\\\\\\{a\\}\\tab b\\par c");
}

TEST(ToRtfBody, KeepsMultiByteCharactersAsUtf8) {
  EXPECT_EQ(ToRtfBody(L"Gr\u00FC\u00DFe \u20AC"), "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC");
}

TEST(ToRtfBody, UnpairedSurrogateGivesEmptyText) {
  const std::wstring broken = std::wstring(L"ab") + static_cast<wchar_t>(0xD800) + L"cd";
  EXPECT_EQ(ToRtfBody(broken), "");
  // The main instruction stays when the content cannot be shown.
  EXPECT_EQ(BuildRtfDocument(L"Title", broken), "{\\urtf{\\b Title}\\par\\par \\par  }");
}

TEST(ConvertLinks, BothMarkupsBecomeHyperlinkFields) {
  const std::string field =
      "{\\field{\\*\\fldinst{HYPERLINK \"file:///C:/x\"}}{\\fldrslt{x folder}}}{\\v *HVLINKEND}";
  EXPECT_EQ(ConvertLinks("see #LINK#x folder#file:///C:/x## now"), "see " + field + " now");
  EXPECT_EQ(ConvertLinks("see <LINK x folder|file:///C:/x> now"), "see " + field + " now");
}

TEST(FieldsAsMarkedText, TargetAndShownTextBetweenMarkers) {
  EXPECT_EQ(kestlib::FieldsAsMarkedText(ConvertLinks("a <LINK b c|x:\\\\y> d")),
            "a \\uc0\\u-8192 x:\\\\y\\u-8191 b c\\u-8190  d");
}

TEST(ConvertLinks, IncompleteMarkupStaysText) {
  EXPECT_EQ(ConvertLinks("#LINK#text#target and <LINK text>"), "#LINK#text#target and <LINK text>");
}

TEST(BuildRtfDocument, PlainTextGetsBoldInstructionAndLinks) {
  EXPECT_EQ(BuildRtfDocument(L"", L"a\nb"), "{\\urtf a\\par b\\par  }");
  EXPECT_EQ(BuildRtfDocument(L"Done", L"<LINK out|file:///C:/out>"),
            "{\\urtf{\\b Done}\\par\\par {\\field{\\*\\fldinst{HYPERLINK \"file:///C:/out\"}}{\\fldrslt{out}}}"
            "{\\v *HVLINKEND}\\par  }");
}

TEST(BuildRtfDocument, RtfContentKeepsItsFormattingAndStillGetsLinks) {
  EXPECT_EQ(BuildRtfDocument(L"ignored", L"{\\rtf1 {\\i x} #LINK#a#b##}"),
            "{\\rtf1 {\\i x} {\\field{\\*\\fldinst{HYPERLINK \"b\"}}{\\fldrslt{a}}}{\\v *HVLINKEND}}");
}

}  // namespace
