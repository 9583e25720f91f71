#include "core/startup/CommandLine.h"

#include <cwctype>

namespace {

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
  return text;
}

// A value that names no answer leaves the preset one.
void SetOverwriteAnswer(const std::wstring& value, std::int32_t& answer) {
  static const struct {
    const wchar_t* name;
    OverwriteAnswer answer;
  } kAnswers[] = {{L"yes", OverwriteYes},
                  {L"yestoall", OverwriteYesToAll},
                  {L"no", OverwriteNo},
                  {L"notoall", OverwriteNoToAll},
                  {L"cancel", OverwriteCancel}};
  const std::wstring lower = Lower(value);
  for (const auto& entry : kAnswers)
    if (lower == entry.name) answer = entry.answer;
}

}  // namespace

bool ParseArguments(const std::vector<std::wstring>& args, CommandLineOptions& options) {
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::wstring& arg = args[i];
    if (arg.empty() || (arg[0] != L'/' && arg[0] != L'-')) continue;
    const std::wstring name = Lower(arg.substr(1));
    const bool hasValue = i + 1 < args.size();
    // A switch with a value takes the next argument, whatever it looks like.
    const auto takeValue = [&](std::wstring& target) {
      if (hasValue) target = args[++i];
    };
    if (name == L"?") return false;
    if (name == L"x") {
      options.extractOnly = true;
      takeValue(options.extractDir);
    } else if (name == L"q") {
      options.uiLevel = UiSilent;
    } else if (name == L"qb") {
      options.uiLevel = UiBasic;
    } else if (name == L"qm") {
      options.uiLevel = UiMinimal;
    } else if (name == L"qx") {
      options.uiLevel = UiReduced;
    } else if (name == L"l") {
      takeValue(options.cmdCulture);
    } else if (name.compare(0, 2, L"m=") == 0) {
      options.callerSuppliesDataFile = true;
    } else if (name == L"log") {
      takeValue(options.logFile);
    } else if (name == L"e") {
      takeValue(options.archivePath);
    } else if (name == L"overwriteanswer") {
      if (hasValue) SetOverwriteAnswer(args[++i], options.overwriteAnswer);
    }
  }
  return true;
}
