#include "setup/language/CultureTexts.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// A table of fixed texts, as a string-table resource would give them.
class FixedLoader : public kestlib::IStringResourceLoader {
 public:
  kestlib::CultureSet GetAllCultures() const override { return {L"de-DE"}; }
  void Load(kestlib::StringTable* table, const std::wstring&) override {
    (*table)[L"SfxProgressTitle"] = L"%d %% Entpacken...";
    (*table)[L"SfxProgressText"] = L"Dateien werden vorbereitet...";
    (*table)[L"StartSetup"] = L"Installation wird gestartet...";
    (*table)[L"Welcome"] = L"Willkommen bei [ProductName]";
  }
};

class CultureTextsTest : public ::testing::Test {
 protected:
  CultureTextsTest() {
    m_strings.AddLoader(std::make_shared<FixedLoader>());
    m_strings.Load(L"de-DE");
  }
  void Apply(const std::wstring& configText, const std::wstring& culture = L"de-DE") {
    ConfigStore config;
    config.Parse(configText);
    ApplyCultureTexts(config, culture, m_productName, m_strings);
  }

  hvmsi::InstallStringResources m_strings;
  std::wstring m_productName = L"Main Product";
};

TEST_F(CultureTextsTest, LanguageSectionReplacesProductNameAndTexts) {
  Apply(L"[LANG_de-DE]\nProductName=Produkt\nProgressTitle=%d %% Auspacken\nProgressText=Bitte warten\n"
        L"StartSetup=Los geht's\n");
  EXPECT_EQ(m_productName, L"Produkt");
  EXPECT_EQ(m_strings.GetText(L"Welcome"), L"Willkommen bei Produkt");
  EXPECT_EQ(m_strings.GetText(L"SfxProgressTitle"), L"%d %% Auspacken");
  EXPECT_EQ(m_strings.GetText(L"SfxProgressText"), L"Bitte warten");
  EXPECT_EQ(m_strings.GetText(L"StartSetup"), L"Los geht's");
}

TEST_F(CultureTextsTest, EmptyValuesKeepTheProductNameAndTheTableTexts) {
  Apply(L"[LANG_de-DE]\nProductName=\nProgressTitle=\nSetupParams=/de\n");
  EXPECT_EQ(m_productName, L"Main Product");
  EXPECT_EQ(m_strings.GetText(L"Welcome"), L"Willkommen bei Main Product");
  EXPECT_EQ(m_strings.GetText(L"SfxProgressTitle"), L"%d %% Entpacken...");
  EXPECT_EQ(m_strings.GetText(L"StartSetup"), L"Installation wird gestartet...");
}

TEST_F(CultureTextsTest, SectionOfAnotherCultureChangesNothingButTheProperty) {
  Apply(L"[LANG_fr-FR]\nProductName=Produit\nStartSetup=Démarrage\n");
  EXPECT_EQ(m_productName, L"Main Product");
  EXPECT_EQ(m_strings.GetText(L"StartSetup"), L"Installation wird gestartet...");
  EXPECT_EQ(m_strings.GetText(L"Welcome"), L"Willkommen bei Main Product");
}

TEST_F(CultureTextsTest, SectionNameMatchesTheCultureInAnyCase) {
  Apply(L"[lang_DE-de]\nProductName=Produkt\n");
  EXPECT_EQ(m_productName, L"Produkt");
}

TEST_F(CultureTextsTest, WithoutThePropertyThePlaceholderStaysVisible) {
  EXPECT_EQ(m_strings.GetText(L"Welcome"), L"Willkommen bei [ProductName]");
}

}  // namespace
