// Which of the configuration's languages an installer picks for a user.
#include "core/localization/Cultures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Codes = std::vector<std::wstring>;

TEST(CulturesTest, FallbackListGoesFromTheCodeOverItsLanguageToEnglish) {
  const struct {
    const wchar_t* preferred;
    Codes candidates;
  } kCases[] = {
      {L"de-AT", {L"de-AT", L"de-DE", L"de", L"en-II", L"en-GB", L"en-US", L"en"}},
      {L"zh-HK", {L"zh-HK", L"zh-TW", L"zh-Hant", L"zh", L"en-II", L"en-GB", L"en-US", L"en"}},
      {L"zh-SG", {L"zh-SG", L"zh-CN", L"zh-Hans", L"zh", L"en-II", L"en-GB", L"en-US", L"en"}},
      {L"en-AU", {L"en-AU", L"en-II", L"en-GB", L"en-US", L"en"}},
      {L"en-GB", {L"en-GB", L"en-II", L"en-US", L"en"}},
      {L"de-DE", {L"de-DE", L"de", L"en-II", L"en-GB", L"en-US", L"en"}},
      {L"ja-JP", {L"ja-JP", L"ja", L"en-II", L"en-GB", L"en-US", L"en"}},
      {L"", {L"en-II", L"en-GB", L"en-US", L"en"}},
  };
  for (const auto& c : kCases) EXPECT_EQ(CultureFallbackList(c.preferred), c.candidates) << c.preferred;
}

TEST(CulturesTest, BestCultureIsTheFirstOfferedThatACandidateMatches) {
  const struct {
    Codes offered;
    const wchar_t* preferred;
    const wchar_t* best;
  } kCases[] = {
      {{L"en-GB", L"de-DE", L"fr-FR"}, L"de-AT", L"de-DE"},
      {{L"pt-PT", L"en-US"}, L"pt-BR", L"pt-PT"},
      {{L"zh-TW"}, L"zh-HK", L"zh-TW"},
      {{L"en-US", L"en-GB", L"de-DE"}, L"en-AU", L"en-GB"},
      {{L"de-DE", L"fr-FR"}, L"ja-JP", L""},
      // A code without region is never a match.
      {{L"de", L"fr-FR"}, L"de-DE", L""},
      // A language alone takes the first code of that language.
      {{L"fr-FR", L"de-AT", L"de-DE"}, L"de", L"de-AT"},
      // Written as the configuration writes it.
      {{L"DE-de"}, L"de-DE", L"DE-de"},
  };
  for (const auto& c : kCases) EXPECT_EQ(FindBestCulture(c.offered, c.preferred), c.best) << c.preferred;
}

TEST(CulturesTest, FixedTablesAreLookedUpWithoutLetterCase) {
  EXPECT_EQ(CultureDisplayName(L"DE-de"), L"Deutsch (Deutschland)");
  EXPECT_EQ(CultureDisplayName(L"ru-RU"), L"P\u0443\u0441\u0441\u043a\u0438\u0439 (\u0420\u043e\u0441\u0441\u0438\u044f)");
  EXPECT_EQ(CultureDisplayName(L"zh-TW"), L"\u4e2d\u6587(\u7e41\u9ad4)");
  EXPECT_EQ(CultureDisplayName(L"xx-YY"), L"");
  EXPECT_EQ(CanonicalCulture(L"NO"), L"nb-NO");
  EXPECT_EQ(CanonicalCulture(L"zh-mo"), L"zh-TW");
  EXPECT_EQ(CanonicalCulture(L"de-AT"), L"");
}

TEST(CulturesTest, UserCultureTakesTheLocalesRegionWhenTheLanguagesAgree) {
  // German interface, German (Austria) locale; English (US) interface, German locale.
  EXPECT_EQ(PreferredLanguageId(0x0407, 0x0C07), 0x0C07);
  EXPECT_EQ(PreferredLanguageId(0x0409, 0x0407), 0x0409);
}

class ScanLanguageSectionsTest : public ::testing::Test {
 protected:
  LanguageChoice Scan(const std::wstring& text, const std::wstring& cmdCulture, const std::wstring& user = L"") {
    ConfigStore config;
    config.Parse(text);
    return ScanLanguageSections(config, cmdCulture, [&] {
      ++m_userAsked;
      return user;
    });
  }
  int m_userAsked = 0;
};

TEST_F(ScanLanguageSectionsTest, OffersEachLanguageSectionByName) {
  const LanguageChoice choice =
      Scan(L"[main]\nCulture=fr-FR\n[LANG_fr-FR]\na=1\n[lang_de]\na=1\n[LANG_xx-YY]\na=1\n", L"", L"de-AT");
  ASSERT_TRUE(choice.found);
  EXPECT_EQ(m_userAsked, 1);
  ASSERT_EQ(choice.names.size(), 3u);
  auto it = choice.names.begin();
  EXPECT_EQ(it->first, L"de");
  EXPECT_EQ(it->second, L"");
  EXPECT_EQ((++it)->second, L"Français (France)");
  EXPECT_EQ((++it)->second, L"");
  // LANG_de is never matched: the first section is taken.
  EXPECT_EQ(choice.chosen, L"fr-FR");
}

TEST_F(ScanLanguageSectionsTest, CommandLineCultureComesBeforeTheUsers) {
  EXPECT_EQ(Scan(L"[LANG_en-US]\na=1\n[LANG_de-DE]\na=1\n", L"de", L"en-US").chosen, L"de-DE");
  EXPECT_EQ(m_userAsked, 0);
  EXPECT_EQ(Scan(L"[LANG_en-US]\na=1\n[LANG_de-DE]\na=1\n", L"", L"de-CH").chosen, L"de-DE");
}

TEST_F(ScanLanguageSectionsTest, NothingFoundWithoutLanguageSections) {
  const LanguageChoice choice = Scan(L"[main]\nCulture=de-DE\n[LANGUAGE]\na=1\n", L"de-DE");
  EXPECT_FALSE(choice.found);
  EXPECT_TRUE(choice.names.empty());
  EXPECT_EQ(choice.chosen, L"");
}

}  // namespace
