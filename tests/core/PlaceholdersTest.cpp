#include "core/localization/Placeholders.h"

#include <gtest/gtest.h>

namespace {

using kestlib::ExpandPlaceholders;

const kestlib::PropertyMap kProperties = {
    {L"ProductName", L"Studio"}, {L"Folder.Name", L"C:\\Data"}, {L"_x", L"[ProductName]"}};

TEST(ExpandPlaceholders, ReplacesDefinedNames) {
  EXPECT_EQ(ExpandPlaceholders(L"[ProductName] (administrative)", kProperties), L"Studio (administrative)");
  EXPECT_EQ(ExpandPlaceholders(L"[Folder.Name]\\Setup", kProperties), L"C:\\Data\\Setup");
  EXPECT_EQ(ExpandPlaceholders(L"[ProductName][ProductName]", kProperties), L"StudioStudio");
}

TEST(ExpandPlaceholders, KeepsUndefinedAndDifferentlyCasedNames) {
  EXPECT_EQ(ExpandPlaceholders(L"[ProductNameShort] [productname]", kProperties), L"[ProductNameShort] [productname]");
}

TEST(ExpandPlaceholders, OnlyWellFormedNamesArePlaceholders) {
  EXPECT_EQ(ExpandPlaceholders(L"[1st] [ProductName ] [] [Product-Name]", kProperties),
            L"[1st] [ProductName ] [] [Product-Name]");
  EXPECT_EQ(ExpandPlaceholders(L"[[ProductName]]", kProperties), L"[Studio]");
}

TEST(ExpandPlaceholders, InsertedValuesAreNotExpandedAgain) {
  EXPECT_EQ(ExpandPlaceholders(L"[_x]", kProperties), L"[ProductName]");
}

TEST(ExpandPlaceholders, TextWithoutPlaceholdersIsUnchanged) {
  EXPECT_EQ(ExpandPlaceholders(L"", kProperties), L"");
  EXPECT_EQ(ExpandPlaceholders(L"no [ brackets here", kProperties), L"no [ brackets here");
}

}  // namespace
