// The command line that starts the real setup after extraction: which
// program, which arguments and whether the forwarded-data file is written.
// Without Windows headers, so the rules can be tested on any machine.
#pragma once

#include <functional>
#include <string>

#include "core/startup/RunSettings.h"

// An argument as a program that splits its command line the usual way
// reads it back: quoted when it holds white space, inner quotes escaped.
std::wstring QuoteArgument(const std::wstring& text);

// Appends text quoted, after one blank unless the line is empty.
void AppendArgument(std::wstring& commandLine, const std::wstring& text);

// Appends text as it is, after one blank unless the line is empty.
void AppendRawArguments(std::wstring& commandLine, const std::wstring& text);

// What follows the program's own path in its command line, unchanged:
// everything the program was given, to be handed on.
std::wstring OwnArgumentTail(const std::wstring& commandLine);

// The tail without the installer's own switches that a package must not
// get, each with its value; the other arguments as written, one blank
// between them.
std::wstring WithoutPackageOwnSwitches(const std::wstring& tail);

// The text from the last period of path to its end; empty without one.
std::wstring PathExtension(const std::wstring& path);

// Extensions compared without regard to letter case.
bool SameExtension(const std::wstring& extension, const wchar_t* expected);

struct SetupCommand {
  std::wstring program;
  std::wstring arguments;
  // Where "SetupValues.dat" is written before the start; empty for none.
  std::wstring valuesFilePath;
};

// Decides how the setup is started. isFile tells whether a path names an
// existing file (not a folder); systemFolder is where msiexec.exe lives.
SetupCommand MakeSetupCommand(const RunSettings& settings, const std::wstring& ownArgumentTail,
                              const std::wstring& systemFolder,
                              const std::function<bool(const std::wstring&)>& isFile);
