#include "core/startup/CommandLine.h"

#include <gtest/gtest.h>

namespace {

struct Parsed {
  bool completed;
  CommandLineOptions options;
};

Parsed Parse(std::vector<std::wstring> args) {
  args.insert(args.begin(), L"C:\\dl\\setup.exe");
  Parsed result{false, {}};
  result.completed = ParseArguments(args, result.options);
  return result;
}

TEST(CommandLine, SwitchNamesIgnoreCaseAndPrefix) {
  EXPECT_EQ(Parse({L"/QB"}).options.uiLevel, UiBasic);
  EXPECT_EQ(Parse({L"-qm"}).options.uiLevel, UiMinimal);
  EXPECT_EQ(Parse({L"/Qx"}).options.uiLevel, UiReduced);
  EXPECT_EQ(Parse({L"-Q"}).options.uiLevel, UiSilent);
  EXPECT_TRUE(Parse({L"-X"}).options.extractOnly);
}

TEST(CommandLine, NoArgumentsKeepTheDefaults) {
  const Parsed p = Parse({});
  EXPECT_TRUE(p.completed);
  EXPECT_EQ(p.options.uiLevel, UiNormal);
  EXPECT_FALSE(p.options.extractOnly);
  EXPECT_EQ(p.options.overwriteAnswer, OverwriteYesToAll);
}

TEST(CommandLine, LastUiLevelSwitchWins) {
  EXPECT_EQ(Parse({L"/q", L"/qb"}).options.uiLevel, UiBasic);
  EXPECT_EQ(Parse({L"/qb", L"/q"}).options.uiLevel, UiSilent);
}

TEST(CommandLine, ExtractFolderIsTheNextArgumentWhateverItLooksLike) {
  const Parsed p = Parse({L"/x", L"/q"});
  EXPECT_TRUE(p.options.extractOnly);
  EXPECT_EQ(p.options.extractDir, L"/q");
  EXPECT_EQ(p.options.uiLevel, UiNormal);

  const Parsed spaced = Parse({L"/x", L"D:\\My Files", L"/x", L"E:\\Last"});
  EXPECT_EQ(spaced.options.extractDir, L"E:\\Last");
}

TEST(CommandLine, ExtractSwitchStandingLastHasNoFolder) {
  const Parsed p = Parse({L"/qb", L"/x"});
  EXPECT_TRUE(p.options.extractOnly);
  EXPECT_EQ(p.options.extractDir, L"");
}

TEST(CommandLine, HelpStopsParsingWhereItStands) {
  const Parsed before = Parse({L"/q", L"/?"});
  EXPECT_FALSE(before.completed);
  EXPECT_EQ(before.options.uiLevel, UiSilent);

  const Parsed after = Parse({L"-?", L"/q"});
  EXPECT_FALSE(after.completed);
  EXPECT_EQ(after.options.uiLevel, UiNormal);
}

TEST(CommandLine, ValueSwitchesTakeTheirValueAsWritten) {
  const Parsed p = Parse({L"/L", L"de-DE", L"/E", L"D:\\Data\\Payload.7Z", L"-LOG", L"C:\\a b.log"});
  EXPECT_EQ(p.options.cmdCulture, L"de-DE");
  EXPECT_EQ(p.options.logFile, L"C:\\a b.log");
  EXPECT_EQ(p.options.archivePath, L"D:\\Data\\Payload.7Z");
}

TEST(CommandLine, ValueSwitchStandingLastChangesNothing) {
  EXPECT_EQ(Parse({L"/l"}).options.cmdCulture, L"");
  EXPECT_EQ(Parse({L"/e"}).options.archivePath, L"");
  EXPECT_EQ(Parse({L"/overwriteanswer"}).options.overwriteAnswer, OverwriteYesToAll);
}

TEST(CommandLine, OverwriteAnswerNamesMatchInAnyCase) {
  EXPECT_EQ(Parse({L"/overwriteanswer", L"yEStoALL"}).options.overwriteAnswer, OverwriteYesToAll);
  EXPECT_EQ(Parse({L"/OverwriteAnswer", L"No"}).options.overwriteAnswer, OverwriteNo);
  EXPECT_EQ(Parse({L"/overwriteanswer", L"YES"}).options.overwriteAnswer, OverwriteYes);
  EXPECT_EQ(Parse({L"/overwriteanswer", L"notoall"}).options.overwriteAnswer, OverwriteNoToAll);
  EXPECT_EQ(Parse({L"/overwriteanswer", L"Cancel"}).options.overwriteAnswer, OverwriteCancel);
  EXPECT_EQ(Parse({L"/overwriteanswer", L"maybe"}).options.overwriteAnswer, OverwriteYesToAll);
}

TEST(CommandLine, AnySwitchBeginningWithMEqualsMeansTheCallerSuppliesTheDataFile) {
  EXPECT_TRUE(Parse({L"/m=C:\\data.dat"}).options.callerSuppliesDataFile);
  EXPECT_TRUE(Parse({L"-M="}).options.callerSuppliesDataFile);
  EXPECT_FALSE(Parse({L"/m"}).options.callerSuppliesDataFile);
  EXPECT_FALSE(Parse({L"m=x"}).options.callerSuppliesDataFile);
}

TEST(CommandLine, StrayArgumentsAndUnknownSwitchesAreIgnored) {
  const Parsed p = Parse({L"/", L"-", L"/unknown", L"plain", L"", L"/qb"});
  EXPECT_TRUE(p.completed);
  EXPECT_EQ(p.options.uiLevel, UiBasic);
}

}  // namespace
