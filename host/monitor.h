#pragma once
// The monitor: one thread that runs one adoption cycle after another, with a pause between
// them, until it is stopped. A stop wakes every wait on the stop event at once; the state
// moves idle -> running -> idle by compare-and-swap, so once stopped no cycle starts again.
// A wake cuts the current pause short (a window worth a cycle has appeared); the pause is
// still the fallback when no wake comes.
#include <windows.h>

#include <atomic>
#include <functional>
#include <thread>

#include "util/unique_resource.h"

namespace host {

class Monitor {
 public:
  Monitor();
  ~Monitor();  // stops
  Monitor(const Monitor&) = delete;
  Monitor& operator=(const Monitor&) = delete;

  // Starts the thread: waits startDelayMs, runs beforeFirst, then cycle after cycle with
  // pauseMs between one's end and the next's start. False when stopped or already started.
  bool Start(int startDelayMs, std::function<void()> beforeFirst, std::function<void()> cycle,
             int pauseMs);
  // No cycle starts after this returns; a cycle under way is waited for (at most waitLimitMs,
  // keeping this thread's messages flowing, as a client call in that cycle may need them).
  void Stop(DWORD waitLimitMs = 2000);
  bool Stopped() const { return state_.load() == kStopped; }
  // Waits on the stop event; false as soon as the monitor is stopped. For any thread.
  // A wake does not end this wait: the waits inside a cycle keep their length.
  bool Wait(int milliseconds) const;
  // Ends the pause before the next cycle now, or, during a cycle, the pause after it.
  // For any thread, hook procedures included: it only sets an event.
  void Wake() noexcept;

 private:
  enum State { kIdle, kRunning, kStopped };
  void Run(int startDelayMs, const std::function<void()>& beforeFirst,
           const std::function<void()>& cycle, int pauseMs) noexcept;
  // The pause between cycles: false when stopped, true after pauseMs or a wake.
  bool Pause(int pauseMs) const;

  std::atomic<int> state_{kIdle};
  std::atomic<bool> started_{false};
  util::UniqueHandle stopEvent_;
  util::UniqueHandle finishedEvent_;
  util::UniqueHandle wakeEvent_;  // auto-reset
  std::thread thread_;
};

}  // namespace host
