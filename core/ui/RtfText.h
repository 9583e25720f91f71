// The rich message box's document: plain text turned into RTF, and the two
// link markups of message texts turned into hyperlink fields.
#pragma once

#include <string>

namespace kestlib {

// The text as the body of an RTF document in UTF-8: tabs, line feeds,
// backslashes and braces escaped, carriage returns dropped, every other
// byte as it is. Empty when the text cannot be converted (an unpaired
// surrogate).
std::string ToRtfBody(const std::wstring& text);

// Replaces "#LINK#text#target##" and "<LINK text|target>" by hyperlink
// fields followed by the hidden marker "*HVLINKEND"; the document as it was
// when a replacement fails.
std::string ConvertLinks(const std::string& document);

// For a control that drops hyperlink fields: each field of ConvertLinks
// becomes U+E000, its target, U+E001, its shown text and U+E002, for the
// control's owner to turn into a link of its own.
std::string FieldsAsMarkedText(const std::string& document);

// True when the content is an RTF document of its own.
bool IsRtfDocument(const std::wstring& content);

// The box's whole document: the content when it is RTF, else the bold main
// instruction (when there is one) and the content; links converted.
std::string BuildRtfDocument(const std::wstring& mainInstruction, const std::wstring& content);

}  // namespace kestlib
