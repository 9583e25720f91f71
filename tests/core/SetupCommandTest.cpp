// How the real setup is started after extraction: the program chosen and
// the command line it is handed.
#include "core/handoff/SetupCommand.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ArgumentSplit.h"

namespace {

TEST(QuoteArgumentTest, QuotesOnlyWhatASplitterWouldBreakUp) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"", L"\"\""},
      {L"C:\\Temp\\setup.msi", L"C:\\Temp\\setup.msi"},
      {L"C:\\My Files\\setup.msi", L"\"C:\\My Files\\setup.msi\""},
      {L"a\tb", L"\"a\tb\""},
      {L"a\nb", L"\"a\nb\""},
      {L"say \"hi\"", L"\"say \\\"hi\\\"\""},
      {L"C:\\My Files\\", L"\"C:\\My Files\\\\\""},
      // Without quotes a final backslash escapes nothing.
      {L"C:\\Files\\", L"C:\\Files\\"},
      // Backslashes before a quote are doubled, the quote escaped.
      {L"a\\\"", L"a\\\\\\\""},
      {L"x y\\\\", L"\"x y\\\\\\\\\""}};
  for (const auto& [text, quoted] : cases) EXPECT_EQ(QuoteArgument(text), quoted) << text;
}

TEST(QuoteArgumentTest, SplitterReadsEveryArgumentBack) {
  std::vector<std::wstring> texts = {L"", L"\\", L"\"", L"\\\"", L"a\\\\\"b", L" \\", L"\\ \\\\", L"\"\"", L"\t\"\\"};
  std::mt19937 random(12);
  const wchar_t alphabet[] = L"a \t\\\"\n";
  for (int i = 0; i < 3000; ++i) {
    std::wstring text(random() % 10, L'a');
    for (wchar_t& c : text) c = alphabet[random() % 6];
    texts.push_back(text);
  }
  std::wstring line;
  for (const auto& text : texts) {
    EXPECT_EQ(testsupport::SplitArguments(QuoteArgument(text)), std::vector<std::wstring>{text}) << text;
    AppendArgument(line, text);
  }
  EXPECT_EQ(testsupport::SplitArguments(line), texts);
}

TEST(AppendArgumentTest, SeparatesByOneBlank) {
  std::wstring line;
  AppendArgument(line, L"/i");
  AppendArgument(line, L"a b");
  AppendRawArguments(line, L"/qb \"x y\"");
  EXPECT_EQ(line, L"/i \"a b\" /qb \"x y\"");
}

TEST(OwnArgumentTailTest, HandsOnWhatFollowsTheProgramPath) {
  EXPECT_EQ(OwnArgumentTail(L"\"C:\\Down loads\\setup.exe\" /qb \"two words\"  x"), L"/qb \"two words\"  x");
  EXPECT_EQ(OwnArgumentTail(L"C:\\setup.exe /qb  \"x\""), L"/qb  \"x\"");
  // Blanks beyond the first belong to the tail.
  EXPECT_EQ(OwnArgumentTail(L"\"C:\\setup.exe\"   /q"), L"  /q");
}

TEST(OwnArgumentTailTest, EmptyWithoutArguments) {
  EXPECT_EQ(OwnArgumentTail(L""), L"");
  EXPECT_EQ(OwnArgumentTail(L"\"C:\\setup.exe\""), L"");
  EXPECT_EQ(OwnArgumentTail(L"\"C:\\setup.exe\" "), L"");
  EXPECT_EQ(OwnArgumentTail(L"C:\\setup.exe"), L"");
  EXPECT_EQ(OwnArgumentTail(L"\"C:\\setup.exe /qb"), L"");
}

TEST(PathExtensionTest, TakesTheLastPeriodOfTheWholePath) {
  EXPECT_EQ(PathExtension(L"C:\\a.b\\setup"), L".b\\setup");
  EXPECT_EQ(PathExtension(L"C:\\a\\setup.MS_"), L".MS_");
  EXPECT_EQ(PathExtension(L"C:\\a\\setup"), L"");
  EXPECT_TRUE(SameExtension(L".MsI", L".msi"));
  EXPECT_FALSE(SameExtension(L".msix", L".msi"));
  EXPECT_FALSE(SameExtension(L".ms", L".msi"));
}

class MakeSetupCommandTest : public ::testing::Test {
 protected:
  MakeSetupCommandTest() {
    m_settings.extractDir = L"C:\\Temp\\hlv1\\";
    m_settings.setupFileName = L"setup.exe";
  }

  SetupCommand Make(const std::wstring& tail = L"") const {
    return MakeSetupCommand(m_settings, tail, L"C:\\Windows\\system32",
                            [this](const std::wstring& path) { return m_files.count(path) != 0; });
  }

  RunSettings m_settings;
  std::set<std::wstring> m_files{L"C:\\Temp\\hlv1\\setup.exe"};
};

TEST_F(MakeSetupCommandTest, SetupProgramComesFromTheFolderOrItsProductSubfolder) {
  EXPECT_EQ(Make().program, L"C:\\Temp\\hlv1\\setup.exe");
  m_files = {L"C:\\Temp\\hlv1\\product\\setup.exe"};
  EXPECT_EQ(Make().program, L"C:\\Temp\\hlv1\\product\\setup.exe");
  // Missing everywhere: the start fails on the second place.
  m_files.clear();
  EXPECT_EQ(Make().program, L"C:\\Temp\\hlv1\\product\\setup.exe");
  // A folder without its final backslash gets one.
  m_settings.setupFileName = L"bin\\setup.exe";
  m_settings.extractDir = L"C:\\Temp\\hlv1";
  EXPECT_EQ(Make().program, L"C:\\Temp\\hlv1\\product\\bin\\setup.exe");
}

TEST_F(MakeSetupCommandTest, AbsoluteSetupPathIsUsedAsGiven) {
  for (const wchar_t* path : {L"D:\\Tools\\setup.exe", L"d:setup.exe", L"\\\\server\\share\\setup.exe"}) {
    m_settings.setupFileName = path;
    const SetupCommand command = Make();
    EXPECT_EQ(command.program, path);
    EXPECT_EQ(command.arguments, L"");
  }
  // A rooted path without a drive is relative to the folder.
  m_settings.setupFileName = L"\\setup.exe";
  EXPECT_EQ(Make().program, L"C:\\Temp\\hlv1\\product\\\\setup.exe");
}

TEST_F(MakeSetupCommandTest, PackageIsInstalledByMsiexec) {
  m_settings.extractDir = L"C:\\Documents and Settings\\Temp\\hlv1\\";
  m_settings.setupFileName = L"Product.MS_";
  m_files = {L"C:\\Documents and Settings\\Temp\\hlv1\\Product.MS_"};
  m_settings.setupParams = L"/qb REBOOT=ReallySuppress";
  // Forwarding is for setup programs only.
  m_settings.forwardResourceData = true;
  const SetupCommand command = Make(L"/l*v \"C:\\log file.txt\"");
  EXPECT_EQ(command.program, L"C:\\Windows\\system32\\msiexec.exe");
  EXPECT_EQ(command.arguments,
            L"/i \"C:\\Documents and Settings\\Temp\\hlv1\\Product.MS_\" /qb REBOOT=ReallySuppress "
            L"/l*v \"C:\\log file.txt\"");
  EXPECT_EQ(command.valuesFilePath, L"");

  m_settings.extractDir = L"C:\\Temp\\hlv1\\";
  m_settings.setupFileName = L"product.msi";
  m_files = {L"C:\\Temp\\hlv1\\product.msi"};
  m_settings.setupParams.clear();
  EXPECT_EQ(Make().arguments, L"/i C:\\Temp\\hlv1\\product.msi");
}

TEST_F(MakeSetupCommandTest, PackageDoesNotGetTheInstallersCulture) {
  m_settings.setupFileName = L"product.msi";
  m_files = {L"C:\\Temp\\hlv1\\product.msi"};
  // msiexec would write a log file named after the culture.
  const struct {
    const wchar_t* tail;
    const wchar_t* arguments;
  } kCases[] = {
      {L"/l de-DE", L"/i C:\\Temp\\hlv1\\product.msi"},
      {L"/qb -L \"de DE\" REBOOT=\"R S\"", L"/i C:\\Temp\\hlv1\\product.msi /qb REBOOT=\"R S\""},
      {L"\"/l\" de  /qn", L"/i C:\\Temp\\hlv1\\product.msi /qn"},
      {L"/qn /l", L"/i C:\\Temp\\hlv1\\product.msi /qn"},
      {L"/l*v log.txt /lang de", L"/i C:\\Temp\\hlv1\\product.msi /l*v log.txt /lang de"},
  };
  for (const auto& c : kCases) EXPECT_EQ(Make(c.tail).arguments, c.arguments) << c.tail;
  // A setup program reads it as meant.
  m_settings.setupFileName = L"setup.exe";
  EXPECT_EQ(Make(L"/l de-DE").arguments, L"/l de-DE");
}

TEST_F(MakeSetupCommandTest, ForwardedDataComesBeforeParametersAndOwnArguments) {
  m_settings.forwardResourceData = true;
  m_settings.setupParams = L"/silent";
  SetupCommand command = Make(L"/qb extra");
  EXPECT_EQ(command.program, L"C:\\Temp\\hlv1\\setup.exe");
  EXPECT_EQ(command.valuesFilePath, L"C:\\Temp\\hlv1\\SetupValues.dat");
  EXPECT_EQ(command.arguments, L"-m C:\\Temp\\hlv1\\SetupValues.dat /silent /qb extra");

  // The language goes along only when the user could choose one.
  m_settings.hasLanguageSections = true;
  m_settings.culture = L"de-DE";
  EXPECT_EQ(Make().arguments, L"-m C:\\Temp\\hlv1\\SetupValues.dat /silent");
  m_settings.showLanguageDialog = true;
  EXPECT_EQ(Make().arguments, L"-m C:\\Temp\\hlv1\\SetupValues.dat /l de-DE /silent");
  m_settings.culture.clear();
  EXPECT_EQ(Make().arguments, L"-m C:\\Temp\\hlv1\\SetupValues.dat /l \"\" /silent");
}

TEST_F(MakeSetupCommandTest, CallerSuppliedDataFileReplacesOurs) {
  m_settings.forwardResourceData = true;
  m_settings.callerSuppliesDataFile = true;
  const SetupCommand command = Make(L"/m=C:\\values.dat");
  EXPECT_EQ(command.valuesFilePath, L"");
  EXPECT_EQ(command.arguments, L"/m=C:\\values.dat");
}

TEST_F(MakeSetupCommandTest, PackageNeverGetsTheInstallersOwnLogFile) {
  m_settings.setupFileName = L"product.msi";
  m_files = {L"C:\\Temp\\hlv1\\product.msi"};
  EXPECT_EQ(Make(L"/qb -LOG \"C:\\my log.txt\" /l*v msi.log /log").arguments,
            L"/i C:\\Temp\\hlv1\\product.msi /qb /l*v msi.log");
  // A setup program gets everything.
  m_settings.setupFileName = L"setup.exe";
  m_files = {L"C:\\Temp\\hlv1\\setup.exe"};
  EXPECT_EQ(Make(L"/qb /log x.txt").arguments, L"/qb /log x.txt");
}

TEST_F(MakeSetupCommandTest, WithoutForwardingOnlyParametersAndOwnArguments) {
  m_settings.hasLanguageSections = true;
  m_settings.showLanguageDialog = true;
  EXPECT_EQ(Make().arguments, L"");
  m_settings.setupParams = L"/a \"b c\"";
  const SetupCommand command = Make(L"/d");
  EXPECT_EQ(command.arguments, L"/a \"b c\" /d");
  EXPECT_EQ(command.valuesFilePath, L"");
}

}  // namespace
