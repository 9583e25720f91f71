// The language of a run: the configuration's language sections, the
// command line's culture and the language dialog, read through the test
// build of the stub that reports its settings and texts instead of
// installing. Wine converts only neutral codes ("de") to a language of
// the string tables, so the table's texts are checked with one; the
// language sections name regional codes, whose names the dialog shows.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "Installers.h"
#include "ProcessDriver.h"
#include "TempDir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::kTimeLimit;
using testsupport::Quoted;

constexpr int kLanguages = 1006;
constexpr wchar_t kGerman[] = L"Deutsch (Deutschland)";
constexpr wchar_t kFrench[] = L"Français (France)";

// Two regional languages with texts and parameters of their own.
constexpr char kTwoLanguages[] =
    "[main]\nSetupParams=/main\n"
    "[LANG_fr-FR]\nSetupParams=/fr\nStartSetup=L'installation commence\n"
    "[LANG_de-DE]\nSetupParams=/de\nStartSetup=Die Installation beginnt\n";

std::wstring ItemText(HWND combo, int index) {
  std::vector<wchar_t> text(static_cast<std::size_t>(SendMessageW(combo, CB_GETLBTEXTLEN, index, 0)) + 1);
  SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  return text.data();
}

class LanguageTest : public ::testing::Test {
 protected:
  LanguageTest() { SetEnvironmentVariableW(L"SETUPSFX_PROBE_OUT", m_report.c_str()); }
  ~LanguageTest() override { SetEnvironmentVariableW(L"SETUPSFX_PROBE_OUT", nullptr); }

  std::wstring Installer(const std::string& config) {
    const fs::path installer = m_dir / L"setup.exe";
    testsupport::PackInstaller(SETUPSFX_PROBE_STUB, config, installer);
    return Quoted(installer.wstring());
  }

  // Runs to its end without any window; the settings reported.
  std::map<std::string, std::string> Run(const std::string& config, const std::wstring& args) {
    testsupport::ProcessDriver run(Installer(config) + L" " + args, m_dir.path().wstring());
    EXPECT_TRUE(run.WaitForExit(kTimeLimit)) << "a window may be waiting";
    EXPECT_EQ(run.ExitCode(), 0u);
    return testsupport::ReadProbe(m_report);
  }

  testsupport::TempDir m_dir;
  fs::path m_report = m_dir / L"settings.txt";
};

TEST_F(LanguageTest, CommandLineCultureChoosesTheSectionAndItsSettings) {
  auto s = Run("[main]\nSetupParams=/main\nSetupShow=3\n[LANG_fr-FR]\nSetupParams=/fr\n"
               "[LANG_de-DE]\nSetupParams=/lang=de\nStartSetup=Los geht's\n",
               L"/l DE-de");
  EXPECT_EQ(s["culture"], "de-DE");
  EXPECT_EQ(s["hasLanguageSections"], "1");
  EXPECT_EQ(s["setupParams"], "/lang=de");
  EXPECT_EQ(s["setupShow"], "3");
  EXPECT_EQ(s["startSetupText"], "Los geht's");
}

TEST_F(LanguageTest, EmptyValueOfTheLanguageWinsOverMain) {
  auto s = Run("[main]\nSetupParams=/main\nSetupFileName=main.exe\n[LANG_de-DE]\nSetupParams=\n", L"/l de-DE");
  EXPECT_EQ(s["setupParams"], "");
  EXPECT_EQ(s["setupFileName"], "main.exe");
}

TEST_F(LanguageTest, WithoutLanguageSectionsTheConfiguredCultureDecides) {
  auto s = Run("[main]\nCulture=de\n", L"/l fr");
  EXPECT_EQ(s["culture"], "de");
  EXPECT_EQ(s["hasLanguageSections"], "0");
  EXPECT_EQ(s["cancelText"], "Abbrechen");
}

TEST_F(LanguageTest, NoDialogBelowTheNormalLevel) {
  // Codes without region are never matched: the first section is taken.
  auto s = Run("[LANG_fr]\nSetupParams=/fr\n[LANG_de]\nSetupParams=/de\n", L"/qb");
  EXPECT_EQ(s["culture"], "fr");
  EXPECT_EQ(s["setupParams"], "/fr");
}

class LanguageDialogTest : public LanguageTest {
 protected:
  // The language dialog of the run, with its combo box; null when none came.
  static HWND FindDialog(testsupport::ProcessDriver& run, HWND& combo) {
    const HWND dialog = run.WaitForWindow(kTimeLimit);
    combo = dialog ? GetDlgItem(dialog, kLanguages) : nullptr;
    return combo ? dialog : nullptr;
  }
};

TEST_F(LanguageDialogTest, UsersChoiceDecidesTheTextsAndParameters) {
  testsupport::ProcessDriver run(Installer(kTwoLanguages), m_dir.path().wstring());
  HWND combo = nullptr;
  const HWND dialog = FindDialog(run, combo);
  ASSERT_NE(dialog, nullptr) << "no language dialog appeared";
  EXPECT_NE(testsupport::WindowText(dialog), L"Select Language");
  ASSERT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(ItemText(combo, 0), kGerman);
  EXPECT_EQ(ItemText(combo, 1), kFrench);
  // The first section, unless the user's own language is offered.
  const bool german = PRIMARYLANGID(GetUserDefaultLangID()) == LANG_GERMAN;
  EXPECT_EQ(ItemText(combo, static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0))),
            german ? kGerman : kFrench);

  SendMessageW(combo, CB_SETCURSEL, german ? 1 : 0, 0);
  ASSERT_TRUE(testsupport::PressButton(dialog, IDOK));
  ASSERT_TRUE(run.WaitForExit(kTimeLimit));
  EXPECT_EQ(run.ExitCode(), 0u);
  auto s = testsupport::ReadProbe(m_report);
  EXPECT_EQ(s["culture"], german ? "fr-FR" : "de-DE");
  EXPECT_EQ(s["setupParams"], german ? "/fr" : "/de");
  EXPECT_EQ(s["startSetupText"], german ? "L'installation commence" : "Die Installation beginnt");
}

TEST_F(LanguageDialogTest, CancelEndsTheRunAsCancelled) {
  testsupport::ProcessDriver run(Installer(kTwoLanguages), m_dir.path().wstring());
  HWND combo = nullptr;
  const HWND dialog = FindDialog(run, combo);
  ASSERT_NE(dialog, nullptr) << "no language dialog appeared";
  ASSERT_TRUE(testsupport::PressButton(dialog, IDCANCEL));
  ASSERT_TRUE(run.WaitForExit(kTimeLimit));
  EXPECT_EQ(run.ExitCode(), testsupport::kCancelled);
  EXPECT_FALSE(fs::exists(m_report));
}

}  // namespace
