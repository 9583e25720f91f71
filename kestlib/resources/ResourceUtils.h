// Resources of a loaded module: where one is, and reading it as a stream.
#pragma once

#include <windows.h>

#include <cstdint>
#include <istream>
#include <memory>
#include <optional>
#include <string>

#include "kestlib/io/SystemFile.h"

namespace kestlib {

// A resource type or name: the string when it is not empty, else the number.
// Numbers are 16 bits wide because the system takes any larger value for the
// address of a string.
struct ResourceId {
  ResourceId(std::uint16_t number) : id(number) {}
  ResourceId(std::wstring text) : name(std::move(text)) {}
  ResourceId(const wchar_t* text) : name(text) {}

  // The form the resource functions take.
  const wchar_t* Get() const { return name.empty() ? MAKEINTRESOURCEW(id) : name.c_str(); }
  // The string, or "#" and the number.
  std::wstring ToString() const;

  std::uint16_t id = 0;
  std::wstring name;
};

struct ResourceLocation {
  // A null module stands for the process's own executable, taken now.
  ResourceLocation(ResourceId type, ResourceId name, std::optional<LANGID> language = std::nullopt,
                   HMODULE module = nullptr);

  // The module's file and the type, name and language, joined by separator:
  //   C:\setup.exe\resType:HV_XML_STRING\resID:#1\lcid:7
  std::wstring ToString(wchar_t separator) const;

  HMODULE module;
  ResourceId type;
  ResourceId name;
  // Without one the system chooses the language.
  std::optional<LANGID> language;
};

// A resource that cannot be found or loaded; the path is the location's text.
class AppResourceError : public FileException {
 public:
  using FileException::FileException;
};

// A stream that reads the resource's bytes where the module holds them; the
// module must stay loaded while it is used. Of exceptionMask, only the bits
// eofbit, failbit and badbit are applied, and 0 keeps the stream's default.
std::shared_ptr<std::istream> CreateStreamFromResource(const ResourceLocation& location,
                                                       std::ios_base::iostate exceptionMask);

}  // namespace kestlib
