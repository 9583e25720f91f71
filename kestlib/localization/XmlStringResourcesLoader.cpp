#include "kestlib/localization/XmlStringResourcesLoader.h"

#include <locale>
#include <stdexcept>
#include <utility>

#include <boost/algorithm/string/replace.hpp>
#include <boost/assert/source_location.hpp>
#include <boost/current_function.hpp>
#include <boost/iostreams/code_converter.hpp>
#include <boost/iostreams/stream.hpp>
#include <boost/locale/utf8_codecvt.hpp>
#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>
#include <boost/throw_exception.hpp>

#include "kestlib/Holders.h"
#include "kestlib/SystemInfo.h"
#include "kestlib/io/Utf8.h"

// The raising location with the function's full signature.
#define KESTLIB_HERE ::boost::source_location(__FILE__, __LINE__, BOOST_CURRENT_FUNCTION)

namespace kestlib {

namespace {

namespace pt = boost::property_tree;

// Converts with the codecvt facet of the locale that the stream is imbued with.
using WideDecoder = boost::iostreams::code_converter<std::istream>;
using Rfc1766ToLcidFn = HRESULT(WINAPI*)(LCID*, LPCWSTR);

class PtreeCategory : public std::error_category {
 public:
  const char* name() const noexcept override { return "kestlib.ptree_error"; }
  std::string message(int code) const override {
    switch (static_cast<PtreeErrc>(code)) {
      case PtreeErrc::BadPath:
        return "bad path";
      case PtreeErrc::BadData:
        return "bad data";
    }
    return "generic error";
  }
};

[[noreturn]] void ThrowTreeError(PtreeErrc code, const std::string& message, const boost::source_location& where) {
  boost::throw_exception(std::system_error(make_error_code(code), message), where);
}

const pt::wptree& FindRoot(const pt::wptree& document, const std::wstring& rootName) {
  if (rootName.empty()) {
    if (!document.empty()) return document.front().second;
  } else if (const auto root = document.get_child_optional(pt::wptree::path_type(rootName, L'.'))) {
    return *root;
  }
  ThrowTreeError(PtreeErrc::BadData, "XML error (root element '" + Utf8FromWide(rootName) + "' not found)",
                 KESTLIB_HERE);
}

std::wstring ReadId(const pt::wptree& entry) {
  try {
    return entry.get<std::wstring>(L"<xmlattr>.Id");
  } catch (const pt::ptree_bad_path& error) {
    ThrowTreeError(PtreeErrc::BadPath, std::string("XML error: ") + error.what(), KESTLIB_HERE);
  }
}

// The line-feed pass runs first, so "\\n" reads as a backslash and a line feed.
std::wstring Unescape(std::wstring text) {
  boost::algorithm::replace_all(text, L"\\n", L"\n");
  boost::algorithm::replace_all(text, L"\\t", L"\t");
  boost::algorithm::replace_all(text, L"\\\\", L"\\");
  return text;
}

// Only the system folder: a DLL of that name beside a downloaded installer
// must never be loaded. LOAD_LIBRARY_SEARCH_SYSTEM32 needs AddDllDirectory
// (Windows 8, or 7 with update KB2533623); without it, the full path.
}  // namespace

const std::error_category& PtreeErrorCategory() {
  static const PtreeCategory category;
  return category;
}

std::error_code make_error_code(PtreeErrc code) { return {static_cast<int>(code), PtreeErrorCategory()}; }

void LoadXmlStringResources(StringTable* table, std::istream& bytes, const std::wstring& rootName) {
  boost::iostreams::stream<WideDecoder> text(bytes);
  text.imbue(std::locale(std::locale::classic(), new boost::locale::utf8_codecvt<wchar_t>()));
  pt::wptree document;
  pt::read_xml(text, document, pt::xml_parser::no_comments | pt::xml_parser::trim_whitespace);
  for (const auto& [name, entry] : FindRoot(document, rootName)) {
    if (name == L"String") (*table)[ReadId(entry)] = Unescape(entry.data());
  }
}

LCID LcidFromCulture(const std::wstring& culture) {
  const UniqueModule mlang = LoadSystemLibrary(L"mlang.dll");
  if (!mlang) return 0;
  const auto convert = reinterpret_cast<Rfc1766ToLcidFn>(
      reinterpret_cast<void*>(GetProcAddress(mlang.get(), "Rfc1766ToLcidW")));
  LCID lcid = 0;
  if (!convert || convert(&lcid, culture.c_str()) != S_OK) return 0;
  return lcid;
}

XmlAppStringResourceLoader::XmlAppStringResourceLoader()
    : XmlAppStringResourceLoader(std::wstring(), ResourceLocation(L"HV_XML_STRING", 1)) {}

XmlAppStringResourceLoader::XmlAppStringResourceLoader(std::wstring rootName, ResourceLocation location)
    : m_rootName(std::move(rootName)), m_location(std::move(location)) {}

CultureSet XmlAppStringResourceLoader::GetAllCultures() const {
  boost::throw_exception(std::runtime_error("Cannot get available cultures: Function not implemented yet"),
                         KESTLIB_HERE);
}

void XmlAppStringResourceLoader::Load(StringTable* table, const std::wstring& culture) {
  ResourceLocation location = m_location;
  const LCID lcid = culture.empty() ? 0 : LcidFromCulture(culture);
  if (lcid != 0) location.language = LANGIDFROMLCID(lcid);
  const auto bytes = CreateStreamFromResource(location, std::ios_base::badbit);
  LoadXmlStringResources(table, *bytes, m_rootName);
}

}  // namespace kestlib
