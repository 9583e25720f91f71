// The process-wide log: one thread-safe severity logger for wide messages.
// Without a log file, records go to the logging library's default output.
#pragma once

#include <string>

namespace kestlib {

// The scale trace 0 to fatal 5; message boxes use debug, warning and error.
enum class Severity { Trace = 0, Debug = 1, Info = 2, Warning = 3, Error = 4, Fatal = 5 };

// Writes one record through the global logger CommonSetupLogger; nothing
// when the library accepts none.
void WriteLog(Severity severity, const std::wstring& message);

// From now on every record is also appended to the file, in UTF-8, one
// line each, written through at once. False when it cannot be opened.
bool AddLogFile(const std::wstring& path);

}  // namespace kestlib
