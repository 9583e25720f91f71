// Dialog templates in the system's message font: the templates carry
// "MS Shell Dlg" 8 point, which looks dated next to the font the system
// uses for its own messages.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kestlib {

struct TemplateFont {
  std::wstring face;
  WORD points = 0;
};

// A copy of the DLGTEMPLATE or DLGTEMPLATEEX in bytes with its font face
// and point size replaced; weight, italic and character set of an extended
// template stay. Empty when the template names no font (DS_SETFONT clear)
// or is cut short.
std::vector<std::uint8_t> ReplaceTemplateFont(const std::uint8_t* dialogTemplate, std::size_t size,
                                              const TemplateFont& font);

// The system's message font, its height converted to points for the
// screen; false when the non-client metrics cannot be read.
bool GetMessageFont(TemplateFont& font);

// The template in the message font, or an unchanged copy when either the
// font or the template's own font cannot be read.
std::vector<std::uint8_t> WithMessageFont(const std::uint8_t* dialogTemplate, std::size_t size);

}  // namespace kestlib
