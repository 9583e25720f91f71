#include "core/handoff/SetupCommand.h"

#include <boost/algorithm/string/predicate.hpp>

#include "core/PathRules.h"

std::wstring QuoteArgument(const std::wstring& text) {
  if (text.empty()) return L"\"\"";
  std::wstring quoted;
  quoted.reserve(text.size() + 2);
  for (wchar_t c : text) {
    if (c == L'"') quoted += L'\\';
    quoted += c;
  }
  if (text.find_first_of(L" \t\r\n") == std::wstring::npos) return quoted;
  // A final backslash would escape the closing quote.
  if (quoted.back() == L'\\') quoted += L'\\';
  return L'"' + quoted + L'"';
}

void AppendArgument(std::wstring& commandLine, const std::wstring& text) {
  AppendRawArguments(commandLine, QuoteArgument(text));
}

void AppendRawArguments(std::wstring& commandLine, const std::wstring& text) {
  if (!commandLine.empty()) commandLine += L' ';
  commandLine += text;
}

std::wstring OwnArgumentTail(const std::wstring& commandLine) {
  std::size_t start;
  if (!commandLine.empty() && commandLine[0] == L'"') {
    const std::size_t closing = commandLine.find(L'"', 1);
    if (closing == std::wstring::npos) return {};
    // The blank after the closing quote separates the path from the tail.
    start = closing + 2;
  } else {
    const std::size_t blank = commandLine.find(L' ');
    if (blank == std::wstring::npos) return {};
    start = blank + 1;
  }
  return start < commandLine.size() ? commandLine.substr(start) : std::wstring();
}

namespace {

// The installer's own switches that take a value and mean something else
// to msiexec ("/log" is its log file): a package never gets them.
const wchar_t* const kNotForPackages[] = {L"log"};

bool IsNotForPackages(const std::wstring& token) {
  if (token.size() < 2 || (token[0] != L'/' && token[0] != L'-')) return false;
  for (const wchar_t* name : kNotForPackages)
    if (boost::algorithm::iequals(token.substr(1), name)) return true;
  return false;
}

}  // namespace

std::wstring WithoutPackageOwnSwitches(const std::wstring& tail) {
  // Arguments as the program's own parser splits them: blanks separate,
  // double quotes group; each keeps its text as written.
  std::wstring kept;
  bool skipNext = false;
  std::size_t at = 0;
  while (at < tail.size()) {
    const std::size_t start = tail.find_first_not_of(L" \t", at);
    if (start == std::wstring::npos) break;
    std::size_t end = start;
    bool quoted = false;
    for (; end < tail.size() && (quoted || (tail[end] != L' ' && tail[end] != L'\t')); ++end)
      if (tail[end] == L'"') quoted = !quoted;
    const std::wstring token = tail.substr(start, end - start);
    at = end;
    if (skipNext) {
      skipNext = false;
      continue;
    }
    if (IsNotForPackages(token)) {
      skipNext = true;
      continue;
    }
    AppendRawArguments(kept, token);
  }
  return kept;
}

std::wstring PathExtension(const std::wstring& path) {
  const std::size_t period = path.rfind(L'.');
  return period == std::wstring::npos ? std::wstring() : path.substr(period);
}

bool SameExtension(const std::wstring& extension, const wchar_t* expected) {
  return boost::algorithm::iequals(extension, expected);
}

SetupCommand MakeSetupCommand(const RunSettings& settings, const std::wstring& ownArgumentTail,
                              const std::wstring& systemFolder,
                              const std::function<bool(const std::wstring&)>& isFile) {
  SetupCommand command;
  command.program = settings.setupFileName;
  if (!IsAbsolutePath(command.program)) {
    command.program = CombinePath(settings.extractDir, settings.setupFileName);
    // Archives that keep the product apart from their own files.
    if (!isFile(command.program))
      command.program = CombinePath(settings.extractDir, L"product\\" + settings.setupFileName);
  }

  const std::wstring extension = PathExtension(command.program);
  const bool package = SameExtension(extension, L".msi") || SameExtension(extension, L".ms_");
  if (package) {
    AppendArgument(command.arguments, L"/i");
    AppendArgument(command.arguments, command.program);
    command.program = CombinePath(systemFolder, L"msiexec.exe");
  } else if (settings.forwardResourceData) {
    if (!settings.callerSuppliesDataFile) {
      command.valuesFilePath = CombinePath(settings.extractDir, L"SetupValues.dat");
      AppendArgument(command.arguments, L"-m");
      AppendArgument(command.arguments, command.valuesFilePath);
    }
    if (settings.hasLanguageSections && settings.showLanguageDialog) {
      AppendArgument(command.arguments, L"/l");
      AppendArgument(command.arguments, settings.culture);
    }
  }
  if (!settings.setupParams.empty()) AppendRawArguments(command.arguments, settings.setupParams);
  const std::wstring tail = package ? WithoutPackageOwnSwitches(ownArgumentTail) : ownArgumentTail;
  if (!tail.empty()) AppendRawArguments(command.arguments, tail);
  return command;
}
