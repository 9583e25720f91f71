// Path rules of the start-up phases.
#pragma once

#include <string>

#include "core/PathRules.h"

// Full path of the program's own file.
std::wstring ModulePath();
// The current directory with a trailing backslash; empty on failure.
std::wstring CurrentDirectory();
