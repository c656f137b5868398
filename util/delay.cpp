// A wait that keeps the calling thread's messages flowing.
#include "util/delay.h"

#include <windows.h>

#include "util/log.h"
#include "util/unique_resource.h"
#include "util/worker_thread.h"

namespace util {
namespace {

// Handles what is queued now; false when WM_QUIT was taken (it is put back for the
// thread's own message loop, and the caller should stop pumping).
bool PumpPendingMessages() {
  MSG msg;
  while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  return true;
}

// Used only when the timer cannot be made or waited on: a deadline on the tick count,
// still sleeping in the wait rather than spinning.
void DelayByTickCount(ULONGLONG start, DWORD milliseconds, bool pump) {
  for (;;) {
    const ULONGLONG elapsed = ::GetTickCount64() - start;
    if (elapsed >= milliseconds) return;
    const DWORD remaining = static_cast<DWORD>(milliseconds - elapsed);
    if (!pump) {
      ::Sleep(remaining);
      return;
    }
    const DWORD r = ::MsgWaitForMultipleObjects(0, nullptr, FALSE, remaining, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) {
      pump = PumpPendingMessages();
    } else if (r != WAIT_TIMEOUT) {
      LogLastError("MsgWaitForMultipleObjects");
      ::Sleep(remaining);
      return;
    }
  }
}

// What a wait behind a worker takes: everything but keyboard and mouse input.
constexpr UINT kAllButInput = QS_SENDMESSAGE | QS_POSTMESSAGE | QS_TIMER | QS_HOTKEY | QS_PAINT;

// As PumpPendingMessages, leaving input queued.
bool PumpAllButInput() {
  MSG msg;
  while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_SENDMESSAGE | PM_QS_POSTMESSAGE | PM_QS_PAINT)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  return true;
}

}  // namespace

void ProcessPendingMessages() { PumpPendingMessages(); }

bool Delay(int milliseconds) {
  const DWORD ms = milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0;
  const ULONGLONG start = ::GetTickCount64();
  UniqueHandle timer(::CreateWaitableTimerA(nullptr, FALSE, nullptr));
  LARGE_INTEGER due;
  due.QuadPart = -static_cast<LONGLONG>(ms) * 10000;  // relative, in 100 ns units
  if (!timer || !::SetWaitableTimer(timer.get(), &due, 0, nullptr, nullptr, FALSE)) {
    LogLastError(timer ? "SetWaitableTimer" : "CreateWaitableTimerA");
    DelayByTickCount(start, ms, true);
    return true;
  }
  HANDLE handle = timer.get();
  bool pump = true;
  for (;;) {
    const DWORD r = pump ? ::MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_ALLINPUT)
                         : ::WaitForSingleObject(handle, INFINITE);
    if (r == WAIT_OBJECT_0) break;
    if (pump && r == WAIT_OBJECT_0 + 1) {
      // After WM_QUIT the thread is ending: wait out the timer without taking more.
      pump = PumpPendingMessages();
      continue;
    }
    // The wait itself failed: finish on the tick count instead of looping on the error.
    LogLastError("waiting for the delay timer");
    DelayByTickCount(start, ms, pump);
    break;
  }
  return true;
}

bool RunOnWorkerWhilePumping(const std::function<void()>& work, const char* name) {
  UniqueHandle done(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!done) LogLastError("CreateEventA(worker done)");
  HANDLE doneHandle = done.get();
  // work is only borrowed: this function returns only after the worker has signalled.
  const std::function<void()>* job = &work;
  const bool started = done && StartWorkerThread(
                                   [job, doneHandle, name] {
                                     try {
                                       (*job)();
                                     } catch (...) {
                                       LogCaughtException(name);
                                     }
                                     if (!::SetEvent(doneHandle)) LogLastError("SetEvent(worker done)");
                                   },
                                   name);
  if (!started) {
    LogWarning("%s: no worker thread, running on the calling thread", name);
    try {
      work();
    } catch (...) {
      LogCaughtException(name);
    }
    return false;
  }
  // After WM_QUIT the thread is ending: only sent messages are taken from then on.
  bool pump = true;
  for (;;) {
    const DWORD r = ::MsgWaitForMultipleObjects(1, &doneHandle, FALSE, INFINITE, pump ? kAllButInput : QS_SENDMESSAGE);
    if (r == WAIT_OBJECT_0) break;
    if (r == WAIT_OBJECT_0 + 1) {
      if (pump) {
        pump = PumpAllButInput();
      } else {
        MSG msg;
        ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
      }
      continue;
    }
    LogLastError("waiting for the worker");
    if (::WaitForSingleObject(doneHandle, INFINITE) != WAIT_OBJECT_0) LogLastError("WaitForSingleObject(worker done)");
    break;
  }
  return true;
}

}  // namespace util
