#include "core/payload/ConfigStore.h"

#include <gtest/gtest.h>

namespace {

ConfigStore Parsed(const std::wstring& text) {
  ConfigStore store;
  store.Parse(text);
  return store;
}

TEST(ConfigStoreParse, TrimsKeysAndValuesAroundTheEqualsSign) {
  const ConfigStore store = Parsed(L"[main]\n  SetupFileName   =   setup.exe  \n");
  EXPECT_EQ(store.GetValue(L"main", L"SetupFileName", L"x"), L"setup.exe");
}

TEST(ConfigStoreParse, QuotedValueKeepsInnerBlanksAndLosesOnlyOuterQuotes) {
  const ConfigStore store = Parsed(L"[main]\nA=\"  two words  \"\nB=\"\nC=\"\"\"\nD=say \"hi\"\n");
  EXPECT_EQ(store.GetValue(L"main", L"A", L""), L"  two words  ");
  EXPECT_EQ(store.GetValue(L"main", L"B", L"x"), L"");
  EXPECT_EQ(store.GetValue(L"main", L"C", L""), L"\"");
  EXPECT_EQ(store.GetValue(L"main", L"D", L""), L"say \"hi\"");
}

TEST(ConfigStoreParse, ValueKeepsFurtherEqualsSigns) {
  const ConfigStore store = Parsed(L"[main]\nSetupParams=/a=1 /b=2\n");
  EXPECT_EQ(store.GetValue(L"main", L"SetupParams", L""), L"/a=1 /b=2");
}

TEST(ConfigStoreParse, OnlyASemicolonInTheFirstColumnMakesAComment) {
  const ConfigStore store = Parsed(L"[main]\n;A=1\n ;B=2\n#C=3\n");
  EXPECT_EQ(store.GetValue(L"main", L"A", L"none"), L"none");
  EXPECT_EQ(store.GetValue(L"main", L";B", L"none"), L"2");
  EXPECT_EQ(store.GetValue(L"main", L"#C", L"none"), L"3");
}

TEST(ConfigStoreParse, NamesMatchWithoutRegardToCase) {
  const ConfigStore store = Parsed(L"[Lang_De-DE]\nPRODUCTNAME=Produkt\n");
  EXPECT_EQ(store.GetValue(L"lang_de-de", L"productname", L""), L"Produkt");
  EXPECT_EQ(store.GetSections(), std::vector<std::wstring>{L"Lang_De-DE"});
}

TEST(ConfigStoreParse, LastValueOfAKeyWinsAndRepeatedHeadersContinueTheSection) {
  const ConfigStore store = Parsed(L"[main]\nA=1\n[LANG_fr]\nB=2\n[MAIN]\na=3\nC=4\n");
  EXPECT_EQ(store.GetValue(L"main", L"A", L""), L"3");
  EXPECT_EQ(store.GetValue(L"main", L"C", L""), L"4");
  EXPECT_EQ(store.GetSections(), (std::vector<std::wstring>{L"main", L"LANG_fr"}));
}

TEST(ConfigStoreParse, HeaderWithoutEntriesLeavesNoSection) {
  const ConfigStore store = Parsed(L"[empty]\n[main]\nA=1\n[trailing]\n");
  EXPECT_EQ(store.GetSections(), std::vector<std::wstring>{L"main"});
}

TEST(ConfigStoreParse, HeaderTakesTextBetweenFirstOpenAndLastCloseBracket) {
  const ConfigStore store = Parsed(L"junk [ LANG_[x] ] tail\nA=1\n[]\nB=2\n");
  EXPECT_EQ(store.GetValue(L"LANG_[x]", L"A", L""), L"1");
  EXPECT_EQ(store.GetValue(L"", L"B", L""), L"2");
}

TEST(ConfigStoreParse, HeaderWithoutClosingBracketIsIgnored) {
  const ConfigStore store = Parsed(L"[main]\n[broken\nA=1\n");
  EXPECT_EQ(store.GetValue(L"main", L"A", L""), L"1");
}

TEST(ConfigStoreParse, EntriesBeforeAnyHeaderBelongToTheUnnamedSection) {
  const ConfigStore store = Parsed(L"A=1\n=empty key\n");
  EXPECT_EQ(store.GetValue(L"", L"A", L""), L"1");
  EXPECT_EQ(store.GetValue(L"", L"", L""), L"empty key");
}

TEST(ConfigStoreParse, EveryLineEndStyleSplitsLines) {
  for (const std::wstring end : {L"\r\n", L"\n", L"\r", L"\n\r"}) {
    const ConfigStore store = Parsed(L"[main]" + end + L"A=1" + end + L"B=2");
    EXPECT_EQ(store.GetValue(L"main", L"A", L""), L"1");
    EXPECT_EQ(store.GetValue(L"main", L"B", L""), L"2");
  }
  // Two equal line-end characters leave an empty line between them.
  const ConfigStore store = Parsed(L"[main]\r\rA=1\n\nB=2\r\n\r\nC=3");
  EXPECT_EQ(store.GetValue(L"main", L"C", L""), L"3");
}

TEST(ConfigStoreQuery, EmptyTextAnswersEveryQueryWithItsDefault) {
  const ConfigStore store = Parsed(L"");
  EXPECT_EQ(store.GetValue(L"main", L"A", L"dflt"), L"dflt");
  EXPECT_EQ(store.GetInt(L"main", L"A", 7), 7);
  EXPECT_TRUE(store.GetSections().empty());
}

TEST(ConfigStoreQuery, PresentEmptyValueBeatsTheDefaultForStringsButNotForNumbers) {
  const ConfigStore store = Parsed(L"[main]\nA=\n");
  EXPECT_EQ(store.GetValue(L"main", L"A", L"dflt"), L"");
  EXPECT_EQ(store.GetInt(L"main", L"A", 7), 7);
}

TEST(ConfigStoreQuery, GetIntReadsLikeDecimalScanf) {
  const ConfigStore store = Parsed(L"[main]\nA=12abc\nB=abc\nC=-3\nD=  +42\nE=true\nF=2\n");
  EXPECT_EQ(store.GetInt(L"main", L"A", 9), 12);
  EXPECT_EQ(store.GetInt(L"main", L"B", 9), 0);
  EXPECT_EQ(store.GetInt(L"main", L"C", 9), -3);
  EXPECT_EQ(store.GetInt(L"main", L"D", 9), 42);
  EXPECT_EQ(store.GetInt(L"main", L"E", 9), 0);
  EXPECT_EQ(store.GetInt(L"main", L"F", 9), 2);
}

}  // namespace
