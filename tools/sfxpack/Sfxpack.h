// One run of sfxpack, as its entry point calls it.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace sfxpack {

// Runs the command in args (UTF-8, without the program name), writes
// results to out and messages to err, and returns the exit code:
// 0 done, 1 refused or failed (or an installer that does not match its
// records or fails verify), 2 wrong usage, 3 a file that inspect or verify
// cannot examine, 128 + the signal when interrupted.
int RunSfxpack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace sfxpack
