#pragma once
// Handing the client windows we hold back to the desktop on the way out. Ending our process
// while a client's window is still our child would destroy that window under its running
// client, and every call that moves the window waits for the client's thread: a hung client
// must not hold our exit. So each window gets a helper thread that probes it until it
// answers and only then makes it top-level again, enables it and keeps it shown; a client
// still hung after the give-up time is left (logged): its window goes with our process.
#include <windows.h>

#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "host/foreign_windows.h"
#include "util/unique_resource.h"

namespace host {

struct HandBackTimings {
  DWORD probeTimeoutMs = 250;  // one probe of a window that does not answer at once
  DWORD probePauseMs = 100;    // between probes (a window counted as hung fails at once)
  DWORD giveUpMs = 60000;      // since the start: a client hung longer loses its window
};

enum class HandBackState { kPending, kHandedBack, kGone, kGivenUp };

class HandBack {
 public:
  // Starts one helper thread per window (null and repeated handles dropped) and returns at
  // once. The seam must outlive the helpers (the program's lives until the process ends).
  static std::shared_ptr<HandBack> Start(ForeignWindows& windows, const std::vector<HWND>& held,
                                         const HandBackTimings& timings = HandBackTimings());

  // Waits until no window is pending, at most limitMs. Meanwhile the calling thread answers
  // messages that other threads send to it (a client's or the system's calls into our
  // windows); nothing posted to it runs. True when none is pending.
  bool WaitForAll(DWORD limitMs) const;
  // How long a caller waits at most: the give-up time and one last probe and hand-back.
  DWORD CompletionLimitMs() const;

  HandBackState StateOf(HWND window) const;
  struct Tally {
    int handedBack = 0, gone = 0, givenUp = 0, pending = 0;
  };
  Tally Count() const;

  HandBack(const HandBackTimings& timings);  // use Start
  HandBack(const HandBack&) = delete;
  HandBack& operator=(const HandBack&) = delete;

 private:
  static void HandBackOne(const std::shared_ptr<HandBack>& self, ForeignWindows& windows, HWND window) noexcept;
  void Finish(HWND window, HandBackState state);

  const HandBackTimings timings_;
  const DWORD startTick_;
  mutable std::mutex lock_;
  std::map<HWND, HandBackState> states_;
  int pending_ = 0;
  util::UniqueHandle allDone_;  // manual reset: set once nothing is pending
};

}  // namespace host
