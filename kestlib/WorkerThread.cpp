#include "kestlib/WorkerThread.h"

#include <process.h>

namespace kestlib {

CMfcWorkerThread::~CMfcWorkerThread() {
  if (IsRunning()) Stop(true);
}

bool CMfcWorkerThread::IsRunning() const {
  return m_thread && WaitForSingleObject(m_thread.get(), 0) == WAIT_TIMEOUT;
}

bool CMfcWorkerThread::Start() {
  if (IsRunning()) return false;
  m_thread.reset();
  m_ownerThreadId = GetCurrentThreadId();
  m_stop = false;
  // The C runtime's own thread start, so the runtime's per-thread state is
  // set up for the worker.
  const uintptr_t thread = _beginthreadex(nullptr, 0, ThreadMain, this, 0, nullptr);
  if (thread == 0) return false;
  m_thread.reset(reinterpret_cast<HANDLE>(thread));
  return true;
}

unsigned __stdcall CMfcWorkerThread::ThreadMain(void* self) {
  // No exception may leave the thread.
  try {
    return static_cast<CMfcWorkerThread*>(self)->Run();
  } catch (...) {
    return static_cast<unsigned>(E_UNEXPECTED);
  }
}

void CMfcWorkerThread::Wait() {
  if (!IsRunning()) return;
  HANDLE thread = m_thread.get();
  if (GetCurrentThreadId() != m_ownerThreadId) {
    WaitForSingleObject(thread, INFINITE);
    return;
  }
  while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
    // Peeking delivers the messages that other threads sent to this one.
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
  }
}

void CMfcWorkerThread::Stop(bool wait) {
  m_stop = true;
  if (wait) Wait();
}

bool CMfcWorkerThread::IsStopRequested() const { return m_stop; }

}  // namespace kestlib
