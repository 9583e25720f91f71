// The base of the program's worker threads. The owner (the user-interface
// thread) waits for a worker through Wait, which keeps delivering messages
// sent to the owner's windows, so a worker blocked in a question to the
// dialog cannot deadlock with it. Workers share only the stop flag.
#pragma once

#include <windows.h>

#include <atomic>

#include "kestlib/Holders.h"

namespace kestlib {

class CMfcWorkerThread {
 public:
  CMfcWorkerThread() = default;
  // Stops and waits for a thread still running. A derived class whose Run
  // uses its own members must stop and wait in its own destructor: by the
  // time this one runs, those members are gone.
  virtual ~CMfcWorkerThread();
  CMfcWorkerThread(const CMfcWorkerThread&) = delete;
  CMfcWorkerThread& operator=(const CMfcWorkerThread&) = delete;

  // Starts Run on a new thread; false while the previous run is still
  // going or when the thread cannot be created.
  bool Start();
  // Until the thread has ended; on the owner thread sent messages are
  // delivered meanwhile.
  void Wait();
  virtual void Stop(bool wait);
  virtual bool IsStopRequested() const;
  // True from Start until Run has returned.
  bool IsRunning() const;

 protected:
  // The thread's body; its result is the thread's exit code.
  virtual DWORD Run() = 0;

 private:
  static unsigned __stdcall ThreadMain(void* self);

  UniqueHandle m_thread;
  DWORD m_ownerThreadId = 0;
  std::atomic<bool> m_stop{false};
};

}  // namespace kestlib
