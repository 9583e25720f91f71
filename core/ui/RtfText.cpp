#include "core/ui/RtfText.h"

#include <boost/locale/encoding_utf.hpp>
#include <boost/regex.hpp>

namespace kestlib {

namespace {

// Hostile surrogates must not reach the control: the conversion stops.
bool ToUtf8(const std::wstring& text, std::string& out) {
  try {
    out = boost::locale::conv::utf_to_utf<char>(text, boost::locale::conv::stop);
    return true;
  } catch (const boost::locale::conv::conversion_error&) {
    return false;
  }
}

// The format doubles each backslash; the format syntax makes it one again.
std::string ReplaceLinks(const std::string& document, const boost::regex& markup) {
  static const char kField[] = "{\\\\field{\\\\*\\\\fldinst{HYPERLINK \"$2\"}}{\\\\fldrslt{$1}}}{\\\\v *HVLINKEND}";
  try {
    return boost::regex_replace(document, markup, kField);
  } catch (const std::runtime_error&) {
    // A match too complex for the engine leaves the markup as text.
    return document;
  }
}

}  // namespace

std::string ToRtfBody(const std::wstring& text) {
  std::string utf8;
  if (!ToUtf8(text, utf8)) return {};
  std::string body;
  body.reserve(utf8.size() + utf8.size() / 2);
  for (char byte : utf8) {
    switch (byte) {
      case '\t':
        body += "\\tab ";
        break;
      case '\n':
        body += "\\par ";
        break;
      case '\\':
        body += "\\\\";
        break;
      case '{':
        body += "\\{";
        break;
      case '}':
        body += "\\}";
        break;
      case '\r':
        break;
      default:
        body += byte;
        break;
    }
  }
  return body;
}

std::string ConvertLinks(const std::string& document) {
  static const boost::regex hashLink("#LINK#(.*?)#(.*?)##", boost::regex::perl);
  static const boost::regex angleLink("<LINK\\s+(.*?)\\|(.*?)>", boost::regex::perl);
  return ReplaceLinks(ReplaceLinks(document, hashLink), angleLink);
}

std::string FieldsAsMarkedText(const std::string& document) {
  static const boost::regex field(
      "\\{\\\\field\\{\\\\\\*\\\\fldinst\\{HYPERLINK \"(.*?)\"\\}\\}\\{\\\\fldrslt\\{(.*?)\\}\\}\\}"
      "\\{\\\\v \\*HVLINKEND\\}",
      boost::regex::perl);
  // RTF writes code points above 32767 as negative numbers.
  static const char kMarked[] = "\\\\uc0\\\\u-8192 $1\\\\u-8191 $2\\\\u-8190 ";
  try {
    return boost::regex_replace(document, field, kMarked);
  } catch (const std::runtime_error&) {
    return document;
  }
}

bool IsRtfDocument(const std::wstring& content) {
  return content.rfind(L"{\\rtf1", 0) == 0 || content.rfind(L"{\\urtf", 0) == 0;
}

std::string BuildRtfDocument(const std::wstring& mainInstruction, const std::wstring& content) {
  std::string document;
  if (IsRtfDocument(content)) {
    if (!ToUtf8(content, document)) document.clear();
  } else {
    document = "{\\urtf";
    if (!mainInstruction.empty()) document += "{\\b " + ToRtfBody(mainInstruction) + "}\\par\\par";
    document += ' ' + ToRtfBody(content) + "\\par  }";
  }
  return ConvertLinks(document);
}

}  // namespace kestlib
