// Stopping a build on SIGINT and SIGTERM (Ctrl-C and Ctrl-Break on
// Windows): the handler only records the signal and stops the running
// 7-Zip; the build then unwinds at its next check, so that every temporary
// file goes with the objects that own it.
#pragma once

#include <stdexcept>

namespace sfxpack {

// Thrown at a check after an interrupt; the exit code is 128 + signal.
class Interrupted : public std::runtime_error {
 public:
  explicit Interrupted(int signal) : std::runtime_error("interrupted"), signal_(signal) {}
  int signal() const { return signal_; }

 private:
  int signal_;
};

// Installs the handlers; sfxpack's entry point calls it once.
void CatchInterrupts();

// Throws Interrupted when a signal came.
void CheckInterrupt();

// While it lives, an interrupt stops the child's whole process group (on
// Windows the child itself). The child must lead a group of its own.
class StoppableChild {
 public:
  explicit StoppableChild(int pid);
  ~StoppableChild();
  StoppableChild(const StoppableChild&) = delete;
  StoppableChild& operator=(const StoppableChild&) = delete;
};

}  // namespace sfxpack
