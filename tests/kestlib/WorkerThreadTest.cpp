#include "kestlib/WorkerThread.h"

#include <atomic>

#include <gtest/gtest.h>

#include "TimeLimit.h"

namespace {

constexpr UINT kQuestion = WM_APP + 1;

LRESULT CALLBACK AnswerQuestion(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == kQuestion) return static_cast<LRESULT>(w * 2);
  return DefWindowProcW(window, message, w, l);
}

// A window of the owner thread that answers the worker's question.
class AnsweringWindow {
 public:
  AnsweringWindow() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = AnswerQuestion;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"WorkerThreadTestWindow";
    RegisterClassW(&wc);
    m_window = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  }
  ~AnsweringWindow() { DestroyWindow(m_window); }
  HWND get() const { return m_window; }

 private:
  HWND m_window = nullptr;
};

// Asks the owner's window a question by sending, as a worker asks the dialog.
class AskingWorker : public kestlib::CMfcWorkerThread {
 public:
  explicit AskingWorker(HWND window) : m_window(window) {}
  ~AskingWorker() override { Stop(true); }
  LRESULT answer = 0;

 protected:
  DWORD Run() override {
    answer = SendMessageW(m_window, kQuestion, 21, 0);
    return 0;
  }

 private:
  HWND m_window;
};

// Runs until it is told to stop.
class LoopingWorker : public kestlib::CMfcWorkerThread {
 public:
  ~LoopingWorker() override { Stop(true); }
  std::atomic<int> rounds{0};

 protected:
  DWORD Run() override {
    while (!IsStopRequested()) {
      ++rounds;
      Sleep(1);
    }
    return 0;
  }
};

TEST(WorkerThread, OwnerWaitingDeliversTheWorkersSentQuestion) {
  AnsweringWindow window;
  ASSERT_NE(window.get(), nullptr);
  AskingWorker worker(window.get());
  ASSERT_TRUE(worker.Start());
  worker.Wait();  // would never return if sent messages were not delivered
  EXPECT_EQ(worker.answer, 42);
}

TEST(WorkerThread, StopIsSeenByTheRunningThread) {
  LoopingWorker worker;
  ASSERT_TRUE(worker.Start());
  EXPECT_FALSE(worker.IsStopRequested());
  // A busy machine may start the thread late: stop it only once it runs.
  const ULONGLONG deadline = GetTickCount64() + testsupport::TimeLimit(5000);
  while (worker.rounds == 0 && GetTickCount64() < deadline) Sleep(1);
  ASSERT_GT(worker.rounds, 0) << "the thread never ran";
  worker.Stop(true);
  EXPECT_TRUE(worker.IsStopRequested());
}

TEST(WorkerThread, SecondStartWhileRunningIsRefusedAndAfterwardsAllowed) {
  LoopingWorker worker;
  ASSERT_TRUE(worker.Start());
  EXPECT_FALSE(worker.Start());
  worker.Stop(true);
  ASSERT_TRUE(worker.Start());
  EXPECT_FALSE(worker.IsStopRequested());
  worker.Stop(true);
}

}  // namespace
