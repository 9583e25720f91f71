// Checks the XML string tables in resources/strings as they are stored:
// format, completeness against the string ids the program looks up, and that
// each translation keeps the format specifiers, line-feed escapes and access
// keys of the English (United States) table. Also checks that the resource
// script gives every table its language id.
#include <gtest/gtest.h>

#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>

#include <cstddef>
#include <fstream>
#include <map>
#include <ostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#ifndef SETUPSFX_STRINGS_DIR
#error SETUPSFX_STRINGS_DIR must name the folder of the string tables
#endif

namespace {

namespace pt = boost::property_tree;

struct Table {
  unsigned languageId;
  const char* culture;
};

// Every table the executable carries, with the language id of its resource.
const Table kTables[] = {
    {7, "de"},        {9, "en"},        {10, "es"},       {12, "fr"},
    {16, "it"},       {1028, "zh-TW"},  {1029, "cs-CZ"},  {1030, "da-DK"},
    {1032, "el-GR"},  {1033, "en-US"},  {1035, "fi-FI"},  {1038, "hu-HU"},
    {1041, "ja-JP"},  {1042, "ko-KR"},  {1043, "nl-NL"},  {1044, "nb-NO"},
    {1045, "pl-PL"},  {1046, "pt-BR"},  {1049, "ru-RU"},  {1053, "sv-SE"},
    {1055, "tr-TR"},  {2052, "zh-CN"},  {2057, "en-GB"},  {2070, "pt-PT"},
    {3084, "fr-CA"},  {4105, "en-CA"},  {21514, "es-US"},
};

// The string ids that the program looks up; every table holds all of them.
const char* const kIds[] = {
    "OK", "Cancel", "Yes", "No", "Retry", "Ignore", "KiB", "MiB", "GiB", "TiB",
    "LanguageSelectionTitle", "LanguageSelection", "VerifyCancel",
    "ChooseTempDir", "SelectTargetDir", "DeletingTempFiles", "ErrorSize",
    "ExtractSuccess", "OverwriteAllButton", "OverwriteAllQuestion",
    "SfxAppTitle", "SfxCommandLineHelp", "SfxErrorBadArchive",
    "SfxErrorReadArchive", "SfxErrorExtract", "SfxProgressTitle",
    "SfxProgressText", "StartSetup",
};

// Button labels that carry an access key.
const char* const kButtonIds[] = {"Yes", "No", "Retry", "Ignore"};

const char kBom[] = "\xEF\xBB\xBF";
const char kDeclaration[] = "<?xml version='1.0' encoding='UTF-8'?>";
const char kStylesheet[] =
    "<?xml-stylesheet type='text/xsl' href='HlvSetupText.xsl'?>";

std::string StringsDir() { return SETUPSFX_STRINGS_DIR; }

std::string TablePath(const std::string& culture) {
  return StringsDir() + "/" + culture + ".xml";
}

bool ReadFile(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream content;
  content << in.rdbuf();
  *bytes = content.str();
  return true;
}

// One stored table: the ids in document order and the text of each (XML
// decoded, white space trimmed; the backslash escapes are left as written).
struct Entries {
  std::vector<std::string> ids;
  std::map<std::string, std::string> texts;
};

// Parses a stored document (without its byte-order mark). Fails the calling
// test through gtest assertions on a parse error.
void ParseTable(const std::string& xml, const std::string& culture,
                pt::ptree* tree, Entries* entries) {
  std::istringstream in(xml);
  try {
    pt::read_xml(in, *tree,
                 pt::xml_parser::no_comments | pt::xml_parser::trim_whitespace);
  } catch (const pt::xml_parser_error& e) {
    FAIL() << culture << ": not well-formed XML: " << e.what();
  }
  auto root = tree->get_child_optional("HlvSetupLocalization");
  ASSERT_TRUE(root) << culture << ": no root element HlvSetupLocalization";
  for (const auto& child : *root) {
    if (child.first != "String") continue;
    auto id = child.second.get_optional<std::string>("<xmlattr>.Id");
    ASSERT_TRUE(id) << culture << ": a String element has no Id";
    entries->ids.push_back(*id);
    entries->texts[*id] = child.second.get_value<std::string>();
  }
}

// The printf format specifiers of a text in order, "%%" included. A "%" that
// starts no specifier is reported as "%?".
std::vector<std::string> FormatSpecifiers(const std::string& text) {
  static const std::regex kSpecifier(
      "%(%|[-+ #0]*[0-9]*(\\.[0-9]+)?(I64|I32|ll|l|h)?[diouxXcsSfeEgGp])");
  std::vector<std::string> result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') continue;
    std::smatch match;
    const std::string rest = text.substr(i);
    if (std::regex_search(rest, match, kSpecifier,
                          std::regex_constants::match_continuous)) {
      result.push_back(match.str());
      i += match.length() - 1;
    } else {
      result.push_back("%?");
    }
  }
  return result;
}

// Number of line-feed escapes (backslash, n) in a stored text; a doubled
// backslash is an escaped backslash, not the start of an escape.
std::size_t LineFeedEscapes(const std::string& text) {
  std::size_t count = 0;
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '\\') continue;
    if (text[i + 1] == 'n') ++count;
    ++i;
  }
  return count;
}

// Number of access-key ampersands: an "&" that is not part of "&&" and is
// followed by a character that is not white space.
std::size_t AccessKeys(const std::string& text) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (i + 1 < text.size() && text[i + 1] == '&') {
      ++i;
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] != ' ') ++count;
  }
  return count;
}

// Checks what the property tree's XML reader lets pass: every end tag closes
// the element opened last, and every "&" starts an entity or a character
// reference. Returns an empty string or the first problem found.
std::string MarkupProblem(const std::string& xml) {
  static const std::regex kReference(
      "&(amp|lt|gt|quot|apos|#[0-9]+|#x[0-9A-Fa-f]+);");
  std::vector<std::string> open;
  std::size_t i = 0;
  while (i < xml.size()) {
    if (xml[i] == '&') {
      std::smatch match;
      const std::string rest = xml.substr(i, 16);
      if (!std::regex_search(rest, match, kReference,
                             std::regex_constants::match_continuous)) {
        return "bare & at offset " + std::to_string(i);
      }
      i += match.length();
      continue;
    }
    if (xml[i] != '<') {
      ++i;
      continue;
    }
    if (xml.compare(i, 4, "<!--") == 0) {
      const std::size_t end = xml.find("-->", i + 4);
      if (end == std::string::npos) return "unterminated comment";
      i = end + 3;
      continue;
    }
    const std::size_t end = xml.find('>', i);
    if (end == std::string::npos) return "unterminated tag";
    std::string tag = xml.substr(i + 1, end - i - 1);
    i = end + 1;
    if (!tag.empty() && tag[0] == '?') continue;
    const bool closing = !tag.empty() && tag[0] == '/';
    const bool empty = !tag.empty() && tag.back() == '/';
    std::size_t nameStart = closing ? 1 : 0;
    std::size_t nameEnd = tag.find_first_of(" \t\r\n/", nameStart);
    const std::string name = tag.substr(nameStart, nameEnd - nameStart);
    if (closing) {
      if (open.empty() || open.back() != name) {
        return "end tag </" + name + "> does not close <" +
               (open.empty() ? std::string() : open.back()) + ">";
      }
      open.pop_back();
    } else if (!empty) {
      open.push_back(name);
    }
  }
  if (!open.empty()) return "element <" + open.back() + "> is not closed";
  return std::string();
}

std::string Join(const std::vector<std::string>& parts) {
  std::string joined;
  for (const auto& part : parts) joined += (joined.empty() ? "" : " ") + part;
  return "[" + joined + "]";
}

// Names the table in test output instead of dumping its bytes.
void PrintTo(const Table& table, std::ostream* os) { *os << table.culture; }

class StringTableTest : public ::testing::TestWithParam<Table> {
 protected:
  // Loads a stored table, checking the byte-order mark and the prolog.
  static void Load(const std::string& culture, Entries* entries) {
    std::string bytes;
    ASSERT_TRUE(ReadFile(TablePath(culture), &bytes))
        << "cannot read " << TablePath(culture);
    ASSERT_EQ(std::string(kBom), bytes.substr(0, 3))
        << culture << ": no UTF-8 byte-order mark";
    const std::string xml = bytes.substr(3);
    EXPECT_EQ(std::string(kDeclaration), xml.substr(0, sizeof kDeclaration - 1))
        << culture << ": the document does not begin with the declaration";
    EXPECT_EQ("", MarkupProblem(xml)) << culture << ": not well-formed XML";
    EXPECT_NE(std::string::npos, xml.find(kStylesheet))
        << culture << ": no stylesheet processing instruction";
    pt::ptree tree;
    ParseTable(xml, culture, &tree, entries);
  }
};

TEST_P(StringTableTest, HoldsEveryIdOnceWithText) {
  Entries entries;
  ASSERT_NO_FATAL_FAILURE(Load(GetParam().culture, &entries));
  for (const char* id : kIds) {
    std::size_t count = 0;
    for (const auto& stored : entries.ids) count += stored == id;
    EXPECT_EQ(1u, count) << GetParam().culture << ": id " << id;
    if (count != 0) {
      EXPECT_FALSE(entries.texts[id].empty())
          << GetParam().culture << ": empty text for " << id;
    }
  }
}

TEST_P(StringTableTest, KeepsSpecifiersEscapesAndAccessKeysOfEnglish) {
  Entries english;
  ASSERT_NO_FATAL_FAILURE(Load("en-US", &english));
  Entries entries;
  ASSERT_NO_FATAL_FAILURE(Load(GetParam().culture, &entries));
  for (const char* id : kIds) {
    ASSERT_EQ(1u, english.texts.count(id)) << "en-US: id " << id;
    if (entries.texts.count(id) == 0) continue;  // Reported by the test above.
    const std::string& reference = english.texts[id];
    const std::string& text = entries.texts[id];
    EXPECT_EQ(Join(FormatSpecifiers(reference)), Join(FormatSpecifiers(text)))
        << GetParam().culture << ": format specifiers of " << id << ": "
        << text;
    EXPECT_EQ(LineFeedEscapes(reference), LineFeedEscapes(text))
        << GetParam().culture << ": line-feed escapes of " << id << ": "
        << text;
  }
  for (const char* id : kButtonIds) {
    EXPECT_EQ(1u, AccessKeys(entries.texts[id]))
        << GetParam().culture << ": access key of " << id << ": "
        << entries.texts[id];
  }
}

TEST(StringTablesScript, GivesEveryTableItsLanguage) {
  std::string script;
  ASSERT_TRUE(ReadFile(StringsDir() + "/StringTables.rc", &script))
      << "cannot read StringTables.rc";
  // A LANGUAGE statement, then the table resource it applies to.
  static const std::regex kEntry(
      "LANGUAGE\\s+(0[xX][0-9A-Fa-f]+|[0-9]+)\\s*,\\s*(0[xX][0-9A-Fa-f]+|[0-9]+)"
      "\\s+1\\s+HV_XML_STRING\\s+\"strings/([^\"]+)\\.xml\"");
  std::map<std::string, std::vector<unsigned>> languages;
  for (std::sregex_iterator it(script.begin(), script.end(), kEntry), end;
       it != end; ++it) {
    const unsigned primary = std::stoul((*it)[1].str(), nullptr, 0);
    const unsigned sub = std::stoul((*it)[2].str(), nullptr, 0);
    languages[(*it)[3].str()].push_back(primary | (sub << 10));
  }
  EXPECT_EQ(sizeof kTables / sizeof kTables[0], languages.size());
  for (const Table& table : kTables) {
    EXPECT_EQ(std::vector<unsigned>{table.languageId}, languages[table.culture])
        << table.culture;
  }
}

std::string TableName(const ::testing::TestParamInfo<Table>& info) {
  std::string name = info.param.culture;
  for (char& c : name) {
    if (c == '-') c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(AllCultures, StringTableTest,
                         ::testing::ValuesIn(kTables), TableName);

}  // namespace
