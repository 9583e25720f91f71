// The stub's own string tables, loaded the way start-up loads them.
#include <gtest/gtest.h>

#include <memory>

#include "hvmsi/InstallStringResources.h"
#include "kestlib/io/SystemFile.h"
#include "kestlib/localization/XmlStringResourcesLoader.h"

namespace {

class StubStringTablesTest : public ::testing::Test {
 protected:
  StubStringTablesTest() { m_strings.AddLoader(std::make_shared<kestlib::XmlAppStringResourceLoader>()); }
  hvmsi::InstallStringResources m_strings;
};

TEST_F(StubStringTablesTest, EmptyCultureLoadsTheSystemsChoiceWithEveryId) {
  m_strings.Load(L"");
  EXPECT_EQ(m_strings.GetText(L"SfxAppTitle"), L"Setup Self-Extractor");
  EXPECT_EQ(m_strings.GetText(L"ErrorSize"), L"Expected file size: %I64d\nActual file size: %I64d");
  EXPECT_EQ(m_strings.GetText(L"Yes"), L"&Yes");
  EXPECT_EQ(m_strings.GetAllStrings().size(), 28u);
}

TEST_F(StubStringTablesTest, RegionalCultureIsServedByItsNeutralTable) {
  // "de" stands for German as used in Germany (1031), which has no table of
  // its own.
  m_strings.Load(L"de");
  EXPECT_EQ(m_strings.GetText(L"Cancel"), L"Abbrechen");
  EXPECT_EQ(m_strings.GetCulture(), L"de");
}

TEST_F(StubStringTablesTest, UnconvertibleCultureLoadsLikeTheEmptyOne) {
  m_strings.Load(L"");
  const auto systemChoice = m_strings.GetAllStrings();
  m_strings.Load(L"en-II");
  EXPECT_EQ(m_strings.GetAllStrings(), systemChoice);
}

TEST_F(StubStringTablesTest, PlaceholdersInTableTextsUseTheProductName) {
  m_strings.Load(L"");
  m_strings.SetString(L"StartSetup", L"Starting [ProductName]...");
  m_strings.SetProperty(L"ProductName", L"Studio");
  EXPECT_EQ(m_strings.GetText(L"StartSetup"), L"Starting Studio...");
}

}  // namespace
