#include "kestlib/ErrorText.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <exception>
#include <set>
#include <vector>

#include <boost/algorithm/string/erase.hpp>
#include <boost/algorithm/string/predicate.hpp>
#include <boost/algorithm/string/trim.hpp>
#include <boost/exception/errinfo_file_name.hpp>
#include <boost/exception/get_error_info.hpp>
#include <boost/filesystem/exception.hpp>
#include <boost/system/system_error.hpp>

#include "kestlib/io/SystemFile.h"
#include "kestlib/io/Utf8.h"

namespace kestlib {
namespace {

// A predicate of our own: the default one would pull the C++ locale
// machinery into the stub.
bool IsSpace(wchar_t c) { return std::iswspace(static_cast<std::wint_t>(c)) != 0; }

// The system's message for the code, as it stands in the message table;
// empty when there is none.
std::wstring SystemMessage(std::int32_t code) {
  wchar_t buffer[1024] = {};
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                      static_cast<DWORD>(code), 0, buffer, 1024, nullptr);
  return std::wstring(buffer, length);
}

// "system:2"
template <typename Code>
std::wstring CodeName(const Code& code) {
  return WideFromUtf8(code.category().name()) + L":" + std::to_wstring(code.value());
}

// The same for both families of error codes.
template <typename Code, typename Category>
std::wstring CodeText(const Code& code, const Category& systemCategory, bool withCode) {
  std::wstring text;
  if (code.category() == systemCategory) {
    text = SystemMessage(code.value());
    boost::algorithm::trim_if(text, IsSpace);
  }
  if (text.empty()) text = WideFromUtf8(code.message());
  if (withCode) text += L" (" + CodeName(code) + L")";
  return text;
}

// What a system error shows besides its message: the text that its library
// put after the message for the code, the details line and the code.
struct CodeFacts {
  std::string appended;
  std::wstring details;
  std::wstring codeText;
};

CodeFacts CodeFactsOf(const std::exception& error) {
  if (const auto* e = dynamic_cast<const std::system_error*>(&error))
    return {e->code().message(), ErrorCodeText(e->code(), std::system_category(), false), CodeName(e->code())};
  if (const auto* e = dynamic_cast<const boost::system::system_error*>(&error))
    return {e->code().what(), ErrorCodeText(e->code(), boost::system::system_category(), false), CodeName(e->code())};
  return {};
}

// The message as a sentence. What the library appended for the code goes:
// the details line shows the code better, and the library's text (in the
// system's code page) would make a non-English message fail to convert.
std::wstring Sentence(const std::exception& error, const CodeFacts& facts) {
  std::string message = error.what();
  if (message == facts.appended)
    message.clear();
  else if (!facts.appended.empty())
    boost::algorithm::erase_last(message, ": " + facts.appended);

  std::wstring text = WideFromUtf8(message);
  if (!text.empty() && text[0] >= L'a' && text[0] <= L'z') text[0] = static_cast<wchar_t>(text[0] - L'a' + L'A');
  if (!facts.details.empty()) boost::algorithm::erase_last(text, L": " + facts.details);
  if (!boost::algorithm::ends_with(text, L".")) text += L'.';
  return text;
}

// The paths that an exception names, in order, without empty ones or repeats.
std::vector<std::wstring> PathsOf(const std::exception& error) {
  std::vector<std::wstring> paths;
  const auto add = [&paths](std::wstring path) {
    if (!path.empty() && std::find(paths.begin(), paths.end(), path) == paths.end()) paths.push_back(std::move(path));
  };
  if (const auto* e = dynamic_cast<const boost::filesystem::filesystem_error*>(&error)) {
    add(e->path1().wstring());
    add(e->path2().wstring());
  } else {
    if (const auto* name = boost::get_error_info<boost::errinfo_file_name>(error)) add(WideFromUtf8(*name));
    if (const auto* path = boost::get_error_info<tag_errinfo_path>(error)) add(*path);
    if (const auto* path = boost::get_error_info<tag_errinfo_path2>(error)) add(*path);
  }
  return paths;
}

using PathSet = std::set<std::wstring>;

std::wstring Describe(const std::exception& error, int level, const PathSet& shown) {
  const std::wstring indent(static_cast<std::size_t>(level), L'\t');
  const CodeFacts facts = CodeFactsOf(error);
  std::wstring text = indent + Sentence(error, facts);
  if (!facts.details.empty() || !facts.codeText.empty()) {
    text += L"\n\n" + indent + L"Error details:\n" + indent + facts.details;
    if (!facts.codeText.empty()) text += L" (" + facts.codeText + L")";
  }

  const std::vector<std::wstring> paths = PathsOf(error);
  const PathSet pathSet(paths.begin(), paths.end());
  if (pathSet != shown) {
    for (std::size_t i = 0; i < paths.size(); ++i) {
      text += L"\n\n" + indent + L"Path";
      if (paths.size() > 1) text += L" " + std::to_wstring(i);
      text += L":\n" + indent + L"'" + paths[i] + L"'";
    }
  }

  // std::throw_with_nested outside a handler nests nothing, and
  // std::rethrow_if_nested would then terminate the process.
  const auto* nested = dynamic_cast<const std::nested_exception*>(&error);
  if (nested && nested->nested_ptr()) {
    try {
      std::rethrow_exception(nested->nested_ptr());
    } catch (const std::exception& cause) {
      text += L"\n\n" + indent + L"Cause:\n" + Describe(cause, level + 1, pathSet);
    } catch (...) {
      // A cause outside the standard family has nothing to show.
    }
  }
  return text;
}

}  // namespace

std::wstring SystemErrorText(std::int32_t code) {
  std::wstring text = SystemMessage(code);
  boost::algorithm::trim_right_if(text, IsSpace);

  wchar_t suffix[32];
  if (static_cast<std::uint32_t>(code) > 0xFFFF)
    std::swprintf(suffix, 32, L" (0x%X)", static_cast<unsigned>(code));
  else
    std::swprintf(suffix, 32, L" (%d)", static_cast<int>(code));
  return text + suffix;
}

std::wstring ErrorCodeText(const std::error_code& code, const std::error_category& systemCategory, bool withCode) {
  return CodeText(code, systemCategory, withCode);
}

std::wstring ErrorCodeText(const boost::system::error_code& code, const boost::system::error_category& systemCategory,
                           bool withCode) {
  return CodeText(code, systemCategory, withCode);
}

std::wstring ExceptionDescription(int level) {
  level = std::max(level, 0);
  // Outside a catch block there is nothing to rethrow; "throw;" would
  // terminate the process.
  if (const std::exception_ptr current = std::current_exception()) {
    try {
      std::rethrow_exception(current);
    } catch (const std::exception& error) {
      return Describe(error, level, {});
    } catch (...) {
      // Described below like the missing exception.
    }
  }
  return std::wstring(static_cast<std::size_t>(level), L'\t') + L"Unknown exception.";
}

}  // namespace kestlib
