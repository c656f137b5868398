// A wait that keeps the calling thread's messages flowing.
#include "util/delay.h"

#include <windows.h>

#include "util/log.h"
#include "util/unique_resource.h"

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

}  // namespace util
