// The ways a run of sfxpack fails; the message names the problem.
#pragma once

#include <stdexcept>

namespace sfxpack {

// A refusal or a failure of the work itself: exit code 1.
class PackError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A file that inspect or verify cannot examine at all (unreadable, no PE
// image, no configuration block, no 7-Zip to read its archive): exit code 3.
class ExamineError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A command line that cannot be followed: exit code 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace sfxpack
