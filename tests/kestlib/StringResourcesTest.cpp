#include "kestlib/localization/MemStringResources.h"
#include "kestlib/localization/XmlStringResourcesLoader.h"
#include "kestlib/resources/ResourceUtils.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <istream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>

#include <boost/exception/get_error_info.hpp>

namespace {

using kestlib::AppResourceError;
using kestlib::CreateStreamFromResource;
using kestlib::MemStringResources;
using kestlib::ResourceLocation;
using kestlib::StringTable;
using kestlib::XmlAppStringResourceLoader;

StringTable LoadCulture(const std::wstring& culture) {
  StringTable table;
  XmlAppStringResourceLoader().Load(&table, culture);
  return table;
}

std::wstring OwnPath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

TEST(EnglishTableTest, HoldsEveryIdTheProgramLooksUp) {
  const StringTable table = LoadCulture(L"en-US");
  EXPECT_EQ(table.size(), 28u);
  for (const wchar_t* id :
       {L"OK", L"Cancel", L"Yes", L"No", L"Retry", L"Ignore", L"KiB", L"MiB", L"GiB", L"TiB",
        L"LanguageSelectionTitle", L"LanguageSelection", L"VerifyCancel", L"ChooseTempDir", L"SelectTargetDir",
        L"DeletingTempFiles", L"ErrorSize", L"ExtractSuccess", L"OverwriteAllButton", L"OverwriteAllQuestion",
        L"SfxAppTitle", L"SfxCommandLineHelp", L"SfxErrorBadArchive", L"SfxErrorReadArchive", L"SfxErrorExtract",
        L"SfxProgressTitle", L"SfxProgressText", L"StartSetup"}) {
    EXPECT_FALSE(table.count(id) == 0 || table.at(id).empty()) << "missing: " << std::string(id, id + wcslen(id));
  }
}

TEST(EnglishTableTest, TextsAreDecoded) {
  const StringTable table = LoadCulture(L"en-US");
  EXPECT_EQ(table.at(L"Yes"), L"&Yes");
  EXPECT_EQ(table.at(L"ErrorSize"), L"Expected file size: %I64d\nActual file size: %I64d");
  EXPECT_EQ(table.at(L"SfxProgressTitle"), L"%d %% Extracting...");
  EXPECT_EQ(table.at(L"SfxCommandLineHelp").rfind(L"Usage: setup.exe [parameter]\n\nParameter:\n/? show help\n", 0),
            0u);
}

TEST(EnglishTableTest, EmptyAndUnconvertibleCulturesLoadTheDefaultTable) {
  const StringTable english = LoadCulture(L"en-US");
  EXPECT_EQ(LoadCulture(L""), english);
  EXPECT_EQ(LoadCulture(L"en-II"), english);
}

TEST(CultureTest, CodesConvertToLanguageIds) {
  EXPECT_EQ(kestlib::LcidFromCulture(L"en-US"), 1033u);
  EXPECT_EQ(kestlib::LcidFromCulture(L"en-GB"), 2057u);
  EXPECT_EQ(kestlib::LcidFromCulture(L"en-II"), 0u);
}

TEST(CultureTest, CultureWithoutTableFailsNamingTheLanguage) {
  try {
    LoadCulture(L"en-GB");
    FAIL() << "no error";
  } catch (const AppResourceError& error) {
    EXPECT_EQ(std::string(error.what()).rfind("Failed to load resource: ", 0), 0u) << error.what();
    EXPECT_NE(error.code().value(), 0);
    const std::wstring* path = boost::get_error_info<kestlib::tag_errinfo_path>(error);
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(*path, OwnPath() + L"\\resType:HV_XML_STRING\\resID:#1\\lcid:2057");
  }
}

TEST(CultureTest, LoaderDoesNotListCultures) {
  try {
    XmlAppStringResourceLoader().GetAllCultures();
    FAIL() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Cannot get available cultures: Function not implemented yet");
  }
}

TEST(ResourceLocationTest, TextNamesModuleTypeNameAndLanguage) {
  EXPECT_EQ(ResourceLocation(L"HV_XML_STRING", 1, 7).ToString(L'\\'),
            OwnPath() + L"\\resType:HV_XML_STRING\\resID:#1\\lcid:7");
  EXPECT_EQ(ResourceLocation(10, L"SAMPLE").ToString(L'|'), OwnPath() + L"|resType:#10|resID:SAMPLE");
}

TEST(ResourceStreamTest, ReadsTheResourceBytes) {
  const auto stream = CreateStreamFromResource(ResourceLocation(L"TESTDATA", L"SAMPLE"), std::ios_base::badbit);
  const std::string bytes(std::istreambuf_iterator<char>(*stream), {});
  EXPECT_EQ(bytes, std::string("abc", 3));
}

TEST(ResourceStreamTest, AppliesOnlyTheStreamStateBitsOfTheMask) {
  const ResourceLocation location(L"TESTDATA", L"SAMPLE");
  EXPECT_EQ(CreateStreamFromResource(location, std::ios_base::goodbit)->exceptions(), std::ios_base::goodbit);
  EXPECT_EQ(CreateStreamFromResource(location, ~std::ios_base::iostate())->exceptions(),
            std::ios_base::eofbit | std::ios_base::failbit | std::ios_base::badbit);

  const auto stream = CreateStreamFromResource(location, std::ios_base::failbit);
  char buffer[8];
  EXPECT_THROW(stream->read(buffer, sizeof buffer), std::ios_base::failure);
}

TEST(ResourceStreamTest, MissingResourceFailsWithItsLocation) {
  try {
    CreateStreamFromResource(ResourceLocation(L"TESTDATA", L"ABSENT"), std::ios_base::badbit);
    FAIL() << "no error";
  } catch (const AppResourceError& error) {
    EXPECT_EQ(error.code().value(), ERROR_RESOURCE_NAME_NOT_FOUND);
    const std::wstring* path = boost::get_error_info<kestlib::tag_errinfo_path>(error);
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(*path, OwnPath() + L"\\resType:TESTDATA\\resID:ABSENT");
  }
}

}  // namespace
