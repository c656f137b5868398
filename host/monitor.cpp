#include "host/monitor.h"

#include "util/delay.h"
#include "util/log.h"

namespace host {

Monitor::Monitor()
    : stopEvent_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      finishedEvent_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      wakeEvent_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
  if (!stopEvent_ || !finishedEvent_ || !wakeEvent_) util::LogLastError("CreateEventA");
}

Monitor::~Monitor() { Stop(); }

bool Monitor::Start(int startDelayMs, std::function<void()> beforeFirst, std::function<void()> cycle,
                    int pauseMs) {
  if (Stopped() || started_.exchange(true)) return false;
  try {
    thread_ = std::thread([this, startDelayMs, beforeFirst = std::move(beforeFirst),
                           cycle = std::move(cycle), pauseMs] {
      Run(startDelayMs, beforeFirst, cycle, pauseMs);
    });
  } catch (...) {
    util::LogCaughtException("starting the monitor");
    if (finishedEvent_) SetEvent(finishedEvent_.get());
    return false;
  }
  return true;
}

void Monitor::Run(int startDelayMs, const std::function<void()>& beforeFirst,
                  const std::function<void()>& cycle, int pauseMs) noexcept {
  try {
    if (Wait(startDelayMs)) {
      if (beforeFirst) beforeFirst();
      for (;;) {
        int expected = kIdle;
        if (!state_.compare_exchange_strong(expected, kRunning)) break;
        cycle();
        expected = kRunning;
        if (!state_.compare_exchange_strong(expected, kIdle)) break;
        if (!Pause(pauseMs)) break;
      }
    }
  } catch (...) {
    util::LogCaughtException("the monitor");
  }
  if (finishedEvent_) SetEvent(finishedEvent_.get());
}

void Monitor::Stop(DWORD waitLimitMs) {
  state_.store(kStopped);
  if (stopEvent_) SetEvent(stopEvent_.get());
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();
    return;
  }
  const DWORD start = GetTickCount();
  HANDLE finishedHandle = finishedEvent_.get();
  bool finished = finishedHandle == nullptr;
  while (!finished) {
    const DWORD spent = GetTickCount() - start;
    if (spent >= waitLimitMs) break;
    const DWORD result = MsgWaitForMultipleObjects(1, &finishedHandle, FALSE, waitLimitMs - spent,
                                                   QS_ALLINPUT);
    if (result == WAIT_OBJECT_0) {
      finished = true;
    } else if (result == WAIT_OBJECT_0 + 1) {
      util::ProcessPendingMessages();
    } else {
      break;
    }
  }
  if (finished) {
    thread_.join();
  } else {
    util::LogWarning("monitor: a cycle did not end within %lu ms; left to end with the process",
                     static_cast<unsigned long>(waitLimitMs));
    thread_.detach();
  }
}

bool Monitor::Wait(int milliseconds) const {
  if (Stopped()) return false;
  if (!stopEvent_) {
    Sleep(static_cast<DWORD>(milliseconds < 0 ? 0 : milliseconds));
    return !Stopped();
  }
  return WaitForSingleObject(stopEvent_.get(), static_cast<DWORD>(milliseconds < 0 ? 0 : milliseconds)) ==
         WAIT_TIMEOUT;
}

}  // namespace host

namespace host {

void Monitor::Wake() noexcept {
  if (wakeEvent_) SetEvent(wakeEvent_.get());
}

bool Monitor::Pause(int pauseMs) const {
  if (!wakeEvent_ || !stopEvent_) return Wait(pauseMs);
  if (Stopped()) return false;
  const HANDLE events[2] = {stopEvent_.get(), wakeEvent_.get()};
  const DWORD result = WaitForMultipleObjects(2, events, FALSE, static_cast<DWORD>(pauseMs < 0 ? 0 : pauseMs));
  if (result == WAIT_FAILED) {
    util::LogLastError("WaitForMultipleObjects(monitor pause)");
    return Wait(pauseMs);
  }
  return result != WAIT_OBJECT_0 && !Stopped();
}

}  // namespace host
