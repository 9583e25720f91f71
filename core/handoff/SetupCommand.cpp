#include "core/handoff/SetupCommand.h"

#include <boost/algorithm/string/predicate.hpp>

#include "core/PathRules.h"
#include "core/handoff/PackageArguments.h"

std::wstring QuoteArgument(const std::wstring& text) {
  if (text.empty()) return L"\"\"";
  const bool enclose = text.find_first_of(L" \t\r\n") != std::wstring::npos;
  std::wstring quoted;
  quoted.reserve(text.size() + 2);
  if (enclose) quoted += L'"';
  // Backslashes are literal except in a run before a quote, where the
  // splitter halves them: such a run is doubled, the quote escaped.
  std::size_t backslashes = 0;
  for (wchar_t c : text) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(enclose ? 2 * backslashes : backslashes, L'\\');
  if (enclose) quoted += L'"';
  return quoted;
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
  std::wstring tail = ownArgumentTail;
  if (SameExtension(extension, L".msi") || SameExtension(extension, L".ms_")) {
    tail = TailForPackage(ownArgumentTail);
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
  if (!tail.empty()) AppendRawArguments(command.arguments, tail);
  return command;
}
