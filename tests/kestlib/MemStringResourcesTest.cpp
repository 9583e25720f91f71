#include "kestlib/localization/MemStringResources.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace {

using kestlib::CultureSet;
using kestlib::MemStringResources;
using kestlib::StringTable;

// Hands out a fixed table for every culture and counts the loads.
class FixedLoader : public kestlib::IStringResourceLoader {
 public:
  FixedLoader(StringTable texts, CultureSet cultures = {}) : m_texts(std::move(texts)), m_cultures(std::move(cultures)) {}

  CultureSet GetAllCultures() const override { return m_cultures; }
  void Load(StringTable* table, const std::wstring&) override {
    ++loads;
    for (const auto& [id, text] : m_texts) (*table)[id] = text;
    if (fail) throw std::runtime_error("broken table");
  }

  int loads = 0;
  bool fail = false;

 private:
  StringTable m_texts;
  CultureSet m_cultures;
};

TEST(MemStringResourcesTest, WithoutLoaderLoadingFails) {
  MemStringResources strings;
  strings.AddLoader(nullptr);
  try {
    strings.Load(L"en-US");
    FAIL() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Cannot load string resources: No resource loader defined");
  }
  try {
    strings.GetAllCultures();
    FAIL() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Cannot get available cultures: No resource loader defined");
  }
}

TEST(MemStringResourcesTest, LaterLoaderReplacesTextsOfEarlierOnes) {
  MemStringResources strings;
  strings.AddLoader(std::make_shared<FixedLoader>(StringTable{{L"OK", L"OK"}, {L"Cancel", L"Cancel"}}));
  strings.AddLoader(std::make_shared<FixedLoader>(StringTable{{L"OK", L"Okay"}}));
  strings.Load(L"en-US");
  EXPECT_EQ(strings.GetAllStrings(), (StringTable{{L"OK", L"Okay"}, {L"Cancel", L"Cancel"}}));
  EXPECT_EQ(strings.GetCulture(), L"en-US");
}

TEST(MemStringResourcesTest, FailedLoadKeepsPreviousTextsAndCulture) {
  MemStringResources strings;
  const auto loader = std::make_shared<FixedLoader>(StringTable{{L"OK", L"OK"}});
  strings.AddLoader(loader);
  strings.Load(L"en-US");

  strings.ClearLoaders();
  const auto broken = std::make_shared<FixedLoader>(StringTable{{L"OK", L"Ja"}, {L"Extra", L"x"}});
  broken->fail = true;
  strings.AddLoader(broken);
  EXPECT_THROW(strings.Load(L"de-DE"), std::runtime_error);
  EXPECT_EQ(strings.GetAllStrings(), (StringTable{{L"OK", L"OK"}}));
  EXPECT_EQ(strings.GetCulture(), L"en-US");
}

TEST(MemStringResourcesTest, SameCultureLoadsOnlyOnceWhileTextsAreThere) {
  MemStringResources strings;
  const auto loader = std::make_shared<FixedLoader>(StringTable{{L"OK", L"OK"}});
  strings.AddLoader(loader);
  strings.Load(L"en-US");
  strings.Load(L"en-US");
  EXPECT_EQ(loader->loads, 1);
  strings.Load(L"EN-US");
  EXPECT_EQ(loader->loads, 2);

  strings.ClearStrings();
  EXPECT_EQ(strings.GetCulture(), L"EN-US");
  strings.Load(L"EN-US");
  EXPECT_EQ(loader->loads, 3);
  EXPECT_EQ(strings.GetText(L"OK"), L"OK");
}

TEST(MemStringResourcesTest, LookupsOfMissingIdsAreEmptyOrTheFallback) {
  MemStringResources strings;
  strings.SetString(L"Yes", L"&Yes");
  strings.SetString(L"Empty", L"");
  EXPECT_EQ(strings.GetText(L"Yes"), L"&Yes");
  EXPECT_EQ(strings.GetText(L"yes"), L"");
  EXPECT_EQ(strings.GetTextOr(L"Yes", L"Yes"), L"&Yes");
  EXPECT_EQ(strings.GetTextOr(L"Retry", L"Retry"), L"Retry");
  EXPECT_EQ(strings.GetTextOr(L"Empty", L"Empty"), L"Empty");
  strings.SetString(L"Yes", L"&Ja");
  EXPECT_EQ(strings.GetText(L"Yes"), L"&Ja");
}

TEST(MemStringResourcesTest, CulturesAreTheUnionIgnoringLetterCase) {
  MemStringResources strings;
  strings.AddLoader(std::make_shared<FixedLoader>(StringTable{}, CultureSet{L"en-US", L"de-DE"}));
  strings.AddLoader(std::make_shared<FixedLoader>(StringTable{}, CultureSet{L"EN-us", L"fr-FR"}));
  EXPECT_EQ(strings.GetAllCultures(), (CultureSet{L"de-DE", L"en-US", L"fr-FR"}));
  EXPECT_EQ(strings.GetLoaders().size(), 2u);
}

}  // namespace
