#include "Interrupts.h"

#include <atomic>
#include <csignal>

#ifdef _WIN32
#include <windows.h>

#include <memory>
#else
#include <signal.h>
#include <unistd.h>
#endif

namespace sfxpack {
namespace {

// Lock-free atomics are safe to touch from a signal handler.
std::atomic<int> g_signal{0};
std::atomic<int> g_child{0};

void StopChild(int pid) {
  if (pid <= 0) return;
#ifdef _WIN32
  const auto close = [](HANDLE handle) { CloseHandle(handle); };
  const std::unique_ptr<void, decltype(close)> process(
      OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pid)), close);
  if (process) TerminateProcess(process.get(), 1);
#else
  kill(-pid, SIGTERM);
#endif
}

#ifdef _WIN32
// Runs on a thread of its own; returning TRUE keeps the process alive to
// clean up.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  g_signal = SIGINT;
  StopChild(g_child);
  return TRUE;
}
#else
void OnSignal(int signal) {
  g_signal = signal;
  StopChild(g_child);
}
#endif

}  // namespace

void CatchInterrupts() {
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
#endif
}

void CheckInterrupt() {
  if (const int signal = g_signal) throw Interrupted(signal);
}

StoppableChild::StoppableChild(int pid) {
#ifndef _WIN32
  // The child sets its group too; whichever runs first, the group exists
  // before it can be signalled.
  setpgid(pid, pid);
#endif
  g_child = pid;
  // A signal that came before the child was known.
  if (g_signal) StopChild(pid);
}

StoppableChild::~StoppableChild() { g_child = 0; }

}  // namespace sfxpack
