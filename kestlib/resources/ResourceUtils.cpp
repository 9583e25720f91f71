#include "kestlib/resources/ResourceUtils.h"

#include <system_error>
#include <utility>

#include <boost/assert/source_location.hpp>
#include <boost/current_function.hpp>
#include <boost/exception/errinfo_api_function.hpp>
#include <boost/iostreams/device/array.hpp>
#include <boost/iostreams/stream.hpp>
#include <boost/throw_exception.hpp>

// The raising location with the function's full signature.
#define KESTLIB_HERE ::boost::source_location(__FILE__, __LINE__, BOOST_CURRENT_FUNCTION)

namespace kestlib {

namespace {

// Room for long paths, as the module's file name may be one.
constexpr DWORD kModulePathLength = 520;

// Call it right after the failed call. LockResource fails without setting
// the last error; a code of 0 would read as success.
[[noreturn]] void ThrowResourceError(const ResourceLocation& location, const char* apiFunction,
                                     const boost::source_location& where) {
  DWORD error = GetLastError();
  if (error == ERROR_SUCCESS) error = ERROR_RESOURCE_DATA_NOT_FOUND;
  const std::error_code code(static_cast<int>(error), std::system_category());
  AppResourceError failure("Failed to load resource", code);
  failure << tag_errinfo_path(location.ToString(L'\\')) << tag_errinfo_code(code)
          << boost::errinfo_api_function(apiFunction);
  boost::throw_exception(failure, where);
}

}  // namespace

std::wstring ResourceId::ToString() const { return name.empty() ? L"#" + std::to_wstring(id) : name; }

ResourceLocation::ResourceLocation(ResourceId type, ResourceId name, std::optional<LANGID> language, HMODULE module)
    : module(module ? module : GetModuleHandleW(nullptr)),
      type(std::move(type)),
      name(std::move(name)),
      language(language) {}

std::wstring ResourceLocation::ToString(wchar_t separator) const {
  std::wstring path(kModulePathLength, L'\0');
  path.resize(GetModuleFileNameW(module, path.data(), kModulePathLength));
  if (!path.empty()) path += separator;
  path += L"resType:" + type.ToString() + separator + L"resID:" + name.ToString();
  if (language) path += separator + (L"lcid:" + std::to_wstring(*language));
  return path;
}

std::shared_ptr<std::istream> CreateStreamFromResource(const ResourceLocation& location,
                                                       std::ios_base::iostate exceptionMask) {
  const HRSRC info = location.language
                         ? FindResourceExW(location.module, location.type.Get(), location.name.Get(), *location.language)
                         : FindResourceW(location.module, location.name.Get(), location.type.Get());
  if (!info) ThrowResourceError(location, location.language ? "FindResourceExW" : "FindResourceW", KESTLIB_HERE);
  const HGLOBAL loaded = LoadResource(location.module, info);
  if (!loaded) ThrowResourceError(location, "LoadResource", KESTLIB_HERE);
  const auto* data = static_cast<const char*>(LockResource(loaded));
  if (!data) ThrowResourceError(location, "LockResource", KESTLIB_HERE);
  const DWORD size = SizeofResource(location.module, info);

  auto stream = std::make_shared<boost::iostreams::stream<boost::iostreams::array_source>>(data, size);
  exceptionMask &= std::ios_base::eofbit | std::ios_base::failbit | std::ios_base::badbit;
  if (exceptionMask) stream->exceptions(exceptionMask);
  return stream;
}

}  // namespace kestlib
