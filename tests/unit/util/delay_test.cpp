// Delay keeps the thread's messages flowing without spinning; workers run detached.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "util/delay.h"
#include "util/worker_thread.h"

namespace {

constexpr UINT kPing = WM_APP + 1;
constexpr UINT_PTR kTickTimer = 7;

struct WindowLog {
  bool insideDelay = false;
  int pingsInsideDelay = 0;
  int pingsOutsideDelay = 0;
  int ticksInsideDelay = 0;
  int clicksInsideDelay = 0;
  int clicksOutsideDelay = 0;
};
WindowLog windowLog;

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (message == kPing) {
    ++(windowLog.insideDelay ? windowLog.pingsInsideDelay : windowLog.pingsOutsideDelay);
    return 0;
  }
  if (message == WM_LBUTTONDOWN) {
    ++(windowLog.insideDelay ? windowLog.clicksInsideDelay : windowLog.clicksOutsideDelay);
    return 0;
  }
  if (message == WM_TIMER && wParam == kTickTimer) {
    if (windowLog.insideDelay) ++windowLog.ticksInsideDelay;
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

class DelayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    windowLog = WindowLog();
    WNDCLASSA wc = {};
    wc.lpfnWndProc = TestWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "DelayTestWindow";
    RegisterClassA(&wc);
    window_ = CreateWindowA("DelayTestWindow", "delay", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                            nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    if (window_) DestroyWindow(window_);
  }
  // Delay with the log marking what ran inside it; returns the elapsed milliseconds.
  ULONGLONG TimedDelay(int milliseconds) {
    const ULONGLONG start = GetTickCount64();
    windowLog.insideDelay = true;
    EXPECT_TRUE(util::Delay(milliseconds));
    windowLog.insideDelay = false;
    return GetTickCount64() - start;
  }
  HWND window_ = nullptr;
};

double ThreadCpuMilliseconds() {
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  auto ms = [](const FILETIME& t) {
    return ((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
  };
  return ms(kernel) + ms(user);
}

TEST_F(DelayTest, HandlesPostedMessagesAndTimerTicksWhileWaiting) {
  ASSERT_NE(SetTimer(window_, kTickTimer, 20, nullptr), 0u);
  HWND target = window_;
  // Another thread posts once the wait is surely under way.
  std::thread poster([target] {
    Sleep(100);
    PostMessageA(target, kPing, 0, 0);
  });
  const ULONGLONG elapsed = TimedDelay(400);
  poster.join();
  KillTimer(window_, kTickTimer);

  EXPECT_EQ(windowLog.pingsInsideDelay, 1);
  EXPECT_GE(windowLog.ticksInsideDelay, 3);
  // The message did not end the wait early (timer granularity allowed for).
  EXPECT_GE(elapsed, 380u);
}

TEST_F(DelayTest, WaitsWithoutSpinning) {
  // First show that this system's thread times see a busy thread at all (the machine may
  // be shared, so spin for CPU time, not for wall time).
  const double busyStart = ThreadCpuMilliseconds();
  const ULONGLONG giveUp = GetTickCount64() + 3000;
  while (ThreadCpuMilliseconds() - busyStart < 60.0 && GetTickCount64() < giveUp) {
  }
  ASSERT_GE(ThreadCpuMilliseconds() - busyStart, 60.0) << "thread times do not advance";

  const double before = ThreadCpuMilliseconds();
  const ULONGLONG elapsed = TimedDelay(300);
  EXPECT_GE(elapsed, 280u);
  EXPECT_LT(ThreadCpuMilliseconds() - before, 30.0);
}

TEST_F(DelayTest, ZeroAndNegativeReturnAtOnce) {
  PostMessageA(window_, kPing, 0, 0);
  // At most one pass: the pending message is handled at most once, and no waiting.
  EXPECT_LT(TimedDelay(0), 200u);
  EXPECT_LE(windowLog.pingsInsideDelay, 1);
  EXPECT_LT(TimedDelay(-5), 200u);
}

TEST_F(DelayTest, ProcessPendingMessagesHandlesTheQueueAndKeepsQuit) {
  PostMessageA(window_, kPing, 0, 0);
  PostMessageA(window_, kPing, 0, 0);
  PostQuitMessage(3);
  util::ProcessPendingMessages();
  EXPECT_EQ(windowLog.pingsOutsideDelay, 2);
  // WM_QUIT is left for the thread's own message loop.
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 3u);
}

struct WorkerRecord {
  std::int32_t args[5] = {};
  DWORD threadId = 0;
  HANDLE release = nullptr;  // the worker waits for this before it ends
  HANDLE done = nullptr;
};
WorkerRecord workerRecord;

TEST(WorkerThread, RunsDetachedWithCopiedArguments) {
  workerRecord.release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  workerRecord.done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  const std::int32_t values[5] = {1, -2, 3, 2147483647, -2147483647 - 1};
  std::int32_t copied[5];
  for (int i = 0; i < 5; ++i) copied[i] = values[i];
  // The work owns its captures: the caller's array may change once the call returned.
  ASSERT_TRUE(util::StartWorkerThread([copied] {
    for (int i = 0; i < 5; ++i) workerRecord.args[i] = copied[i];
    workerRecord.threadId = GetCurrentThreadId();
    WaitForSingleObject(workerRecord.release, 5000);
    SetEvent(workerRecord.done);
  }));
  for (std::int32_t& value : copied) value = 0;
  // The call returned while the worker is still held: nothing was joined.
  EXPECT_EQ(WaitForSingleObject(workerRecord.done, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  SetEvent(workerRecord.release);
  ASSERT_EQ(WaitForSingleObject(workerRecord.done, 5000), WAIT_OBJECT_0);
  const std::int32_t expected[5] = {1, -2, 3, 2147483647, -2147483647 - 1};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(workerRecord.args[i], expected[i]) << i;
  EXPECT_NE(workerRecord.threadId, GetCurrentThreadId());
  EXPECT_FALSE(util::StartWorkerThread(std::function<void()>()));
  CloseHandle(workerRecord.release);
  CloseHandle(workerRecord.done);
}

// A waiting thread that owns a low-level keyboard hook must answer it at once: the system
// holds every key press for the hook, and Windows drops a hook that answers too late.
constexpr WORD kProbeKey = VK_F13;
struct HookLog {
  bool insideWait = false;
  int probeKeysInsideWait = 0;
  HANDLE keySeen = nullptr;
};
HookLog hookLog;

LRESULT CALLBACK ProbeKeyboardProc(int code, WPARAM w, LPARAM l) noexcept {
  if (code == HC_ACTION && reinterpret_cast<const KBDLLHOOKSTRUCT*>(l)->vkCode == kProbeKey && hookLog.insideWait) {
    ++hookLog.probeKeysInsideWait;
    SetEvent(hookLog.keySeen);
  }
  return CallNextHookEx(nullptr, code, w, l);
}

void SendProbeKey(bool up) {
  INPUT in = {};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = kProbeKey;
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &in, sizeof in);
}

TEST_F(DelayTest, WorkerWaitAnswersHooksAndMessagesButHoldsInput) {
  hookLog = HookLog();
  hookLog.keySeen = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HHOOK hook = SetWindowsHookExA(WH_KEYBOARD_LL, ProbeKeyboardProc, GetModuleHandleA(nullptr), 0);
  ASSERT_NE(hook, nullptr);
  ShowWindow(window_, SW_SHOWNORMAL);
  SetWindowPos(window_, HWND_TOPMOST, 0, 0, 200, 200, SWP_SHOWWINDOW);
  RECT client{};
  GetClientRect(window_, &client);
  POINT inside{client.right / 2, client.bottom / 2};
  ClientToScreen(window_, &inside);
  ASSERT_NE(SetTimer(window_, kTickTimer, 20, nullptr), 0u);
  util::ProcessPendingMessages();

  // Input comes from another thread, as real input comes from outside.
  HWND target = window_;
  ULONGLONG keyPressMs = 0;
  HANDLE inputSent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread sender([&] {
    Sleep(200);
    const ULONGLONG start = GetTickCount64();
    SendProbeKey(false);
    keyPressMs = GetTickCount64() - start;
    SendProbeKey(true);
    SetCursorPos(inside.x, inside.y);
    INPUT click[2] = {};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, click, sizeof click[0]);
    PostMessageA(target, kPing, 0, 0);
    SetEvent(inputSent);
  });
  DWORD workerThread = 0;
  bool keySeenByWorker = false;
  windowLog.insideDelay = hookLog.insideWait = true;
  const bool onWorker = util::RunOnWorkerWhilePumping(
      [&] {
        workerThread = GetCurrentThreadId();
        // Held until the hook answered (or long past the point where it should have).
        keySeenByWorker = WaitForSingleObject(hookLog.keySeen, 3000) == WAIT_OBJECT_0;
        WaitForSingleObject(inputSent, 5000);
        Sleep(300);  // lets the click reach this thread's queue before the wait ends
      },
      "delay test work");
  windowLog.insideDelay = hookLog.insideWait = false;
  sender.join();
  KillTimer(window_, kTickTimer);
  util::Delay(300);  // now the held input is taken
  UnhookWindowsHookEx(hook);
  CloseHandle(inputSent);
  CloseHandle(hookLog.keySeen);

  EXPECT_TRUE(onWorker);
  EXPECT_NE(workerThread, GetCurrentThreadId());
  EXPECT_TRUE(keySeenByWorker);
  EXPECT_EQ(hookLog.probeKeysInsideWait, 2);  // press and release
  EXPECT_LT(keyPressMs, 1000u);
  EXPECT_EQ(windowLog.pingsInsideDelay, 1);
  EXPECT_GE(windowLog.ticksInsideDelay, 3);
  // The click waited for the caller's own message loop, as behind a blocking call.
  EXPECT_EQ(windowLog.clicksInsideDelay, 0);
  EXPECT_EQ(windowLog.clicksOutsideDelay, 1);
}

TEST(WorkerWait, WorkThatThrowsStillEndsTheWait) {
  const ULONGLONG start = GetTickCount64();
  EXPECT_TRUE(util::RunOnWorkerWhilePumping([] { throw 1; }, "throwing work"));
  EXPECT_LT(GetTickCount64() - start, 2000u);
}

}  // namespace

