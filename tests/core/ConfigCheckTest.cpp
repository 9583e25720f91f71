#include "core/payload/ConfigCheck.h"

#include <gtest/gtest.h>

namespace {

using config::FindingKind;

struct CheckCase {
  const wchar_t* text;
  FindingKind kind;
  std::size_t line;
  const wchar_t* name;
  const wchar_t* suggestion;
};

TEST(ConfigCheck, NamesTheLineAndTheNearestKnownName) {
  const CheckCase cases[] = {
      {L"[main]\nSetupFilname=app.msi\n", FindingKind::UnknownKey, 2, L"SetupFilname", L"SetupFileName"},
      {L"[mian]\nSetupFileName=a.exe\n", FindingKind::UnknownSection, 1, L"mian", L"main"},
      {L"[LNG_de]\nSetupParams=/q\n", FindingKind::UnknownSection, 1, L"LNG_de", L"LANG_de"},
      {L"[main]\r\n\r\ngarbage line\r\n", FindingKind::IgnoredLine, 3, L"", L""},
      {L"ProductName=x\n[main]\n", FindingKind::EntryOutsideSection, 1, L"ProductName", L""},
      {L"[main]\nProgressTitle=x\n", FindingKind::KeyOfOtherSection, 2, L"ProgressTitle", L""},
      {L"[LANG_de]\nExtractOnly=1\n", FindingKind::KeyOfOtherSection, 2, L"ExtractOnly", L""},
      {L"[main]\n ;comment=1\n", FindingKind::IndentedComment, 2, L";comment", L""},
      {L"[main]\n  ; a comment\n", FindingKind::IndentedComment, 2, L"", L""},
  };
  for (const CheckCase& c : cases) {
    const auto findings = config::CheckConfigLines(config::SplitConfigLines(c.text));
    ASSERT_EQ(findings.size(), 1u) << testing::PrintToString(std::wstring(c.text));
    EXPECT_EQ(findings[0].kind, c.kind);
    EXPECT_EQ(findings[0].line, c.line);
    EXPECT_EQ(findings[0].name, c.name);
    EXPECT_EQ(findings[0].suggestion, c.suggestion);
  }
}

TEST(ConfigCheck, AcceptsWhatTheInstallerReadsInAnyLetterCase) {
  const wchar_t text[] =
      L"; comment\n[MAIN]\nsetupfilename = \"app.msi\"\nCULTURE=de\n[lang_de-DE]\nprogresstext=x\n"
      L"[Other]\nAnything=1\n";
  const auto findings = config::CheckConfigLines(config::SplitConfigLines(text));
  ASSERT_EQ(findings.size(), 1u);  // the unknown section, once for all its entries
  EXPECT_EQ(findings[0].kind, FindingKind::UnknownSection);
}

TEST(ConfigCheck, SetupTargetsFollowTheLanguageDefaults) {
  ConfigStore store;
  store.Parse(L"[main]\nSetupFileName64=x64\\app.msi\n[LANG_de]\nSetupFileName=de.exe\n[LANG_fr]\nSetupParams=/q\n");
  const auto targets = config::SetupTargets(store);
  std::vector<std::wstring> values;
  for (const auto& t : targets) values.push_back(t.section + L":" + t.key + L"=" + t.value);
  EXPECT_EQ(values, (std::vector<std::wstring>{
                        L"main:SetupFileName=setup.exe", L"main:SetupFileName64=x64\\app.msi",
                        L"LANG_de:SetupFileName=de.exe", L"LANG_de:SetupFileName64=x64\\app.msi",
                        L"LANG_fr:SetupFileName=setup.exe", L"LANG_fr:SetupFileName64=x64\\app.msi"}));
}

TEST(ConfigCheck, PathInsideExtractionLeavesOutsidePlacesAlone) {
  EXPECT_EQ(config::PathInsideExtraction(L"sub\\app.msi"), L"sub/app.msi");
  EXPECT_EQ(config::PathInsideExtraction(L"[ExtractDir]\\setup.exe"), L"setup.exe");
  EXPECT_EQ(config::PathInsideExtraction(L"C:\\Tools\\setup.exe"), L"");
  EXPECT_EQ(config::PathInsideExtraction(L"[ProgramFilesFolder]\\x.exe"), L"");
  // As Windows resolves the joined path.
  EXPECT_EQ(config::PathInsideExtraction(L".\\Setup.EXE"), L"Setup.EXE");
  EXPECT_EQ(config::PathInsideExtraction(L"product\\\\sub\\\\inst.exe"), L"product/sub/inst.exe");
  EXPECT_EQ(config::PathInsideExtraction(L"sub\\..\\setup.exe"), L"setup.exe");
  EXPECT_EQ(config::PathInsideExtraction(L"..\\setup.exe"), L"");
}

}  // namespace
