// String tables stored as XML documents in the resources of a module:
//
//   <HlvSetupLocalization>
//     <String Id="StartSetup">Starting installation...</String>
//   </HlvSetupLocalization>
//
// A text has its XML entities decoded and its white space normalized (runs
// become one space, none at either end); then "\n" becomes a line feed, "\t"
// a tab and "\\" one backslash, in that order. Other backslash sequences,
// such as RTF control words, stay as written.
#pragma once

#include <windows.h>

#include <istream>
#include <string>
#include <system_error>

#include "kestlib/localization/IStringResourceLoader.h"
#include "kestlib/resources/ResourceUtils.h"

namespace kestlib {

// Codes of the errors about a document's tree; the category is named
// "kestlib.ptree_error".
enum class PtreeErrc { BadPath = 2, BadData = 3 };
const std::error_category& PtreeErrorCategory();
std::error_code make_error_code(PtreeErrc code);

// Reads one UTF-8 document from bytes into table; texts replace those of the
// same id. rootName is a path of element names joined by "."; empty accepts
// any root element. Malformed XML raises the reader's xml_parser_error, bad
// UTF-8 a std::ios_base::failure, a missing root or Id std::system_error of
// PtreeErrorCategory. Texts read before a failure stay in table.
void LoadXmlStringResources(StringTable* table, std::istream& bytes, const std::wstring& rootName);

// The language id of an RFC 1766 culture code such as "de-DE"; 0 when the
// system cannot convert it.
LCID LcidFromCulture(const std::wstring& culture);

// Loads the table of a culture from the resources of a module: by default
// type "HV_XML_STRING", name 1 of the own executable, with the culture's
// language id as the resource language.
class XmlAppStringResourceLoader : public IStringResourceLoader {
 public:
  XmlAppStringResourceLoader();
  XmlAppStringResourceLoader(std::wstring rootName, ResourceLocation location);

  // Always fails: the resources are not enumerated.
  CultureSet GetAllCultures() const override;
  // An empty culture, or one without a language id, loads the table that
  // the system chooses. A missing table raises AppResourceError.
  void Load(StringTable* table, const std::wstring& culture) override;

 private:
  std::wstring m_rootName;
  ResourceLocation m_location;
};

}  // namespace kestlib

template <>
struct std::is_error_code_enum<kestlib::PtreeErrc> : std::true_type {};
