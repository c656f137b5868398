#include "host/hand_back.h"

#include <set>
#include <thread>

#include "host/client_windows.h"
#include "util/log.h"

namespace host {

HandBack::HandBack(const HandBackTimings& timings)
    : timings_(timings), startTick_(GetTickCount()), allDone_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
  if (!allDone_) util::LogLastError("CreateEventA(hand-back)");
}

std::shared_ptr<HandBack> HandBack::Start(ForeignWindows& windows, const std::vector<HWND>& held,
                                          const HandBackTimings& timings) {
  auto self = std::make_shared<HandBack>(timings);
  std::vector<HWND> distinct;
  std::set<HWND> seen;
  for (HWND w : held) {
    if (w != nullptr && seen.insert(w).second) distinct.push_back(w);
  }
  {
    std::lock_guard<std::mutex> guard(self->lock_);
    for (HWND w : distinct) self->states_[w] = HandBackState::kPending;
    self->pending_ = static_cast<int>(distinct.size());
  }
  if (distinct.empty() && self->allDone_) SetEvent(self->allDone_.get());
  for (HWND w : distinct) {
    try {
      std::thread([self, &windows, w] { HandBackOne(self, windows, w); }).detach();
    } catch (...) {
      // No thread: this window is handed back here, as it was before helpers existed.
      util::LogCaughtException("starting a hand-back helper");
      HandBackOne(self, windows, w);
    }
  }
  return self;
}

void HandBack::HandBackOne(const std::shared_ptr<HandBack>& self, ForeignWindows& windows, HWND w) noexcept {
  const long value = static_cast<long>(HandleValue(w));
  HandBackState result = HandBackState::kGivenUp;
  try {
    const HandBackTimings& t = self->timings_;
    bool toldWaiting = false;
    for (;;) {
      if (!windows.Exists(w)) {
        util::LogInfo("hand-back: window %ld has gone with its client", value);
        result = HandBackState::kGone;
        break;
      }
      // Moving the window waits for its thread: only once it answers.
      if (windows.Answers(w, t.probeTimeoutMs)) {
        windows.SetParentWindow(w, nullptr);
        windows.EnableWindowNow(w, true);
        windows.ShowWindowNoActivateAsync(w);
        util::LogInfo("hand-back: window %ld back on the desktop", value);
        result = HandBackState::kHandedBack;
        break;
      }
      const DWORD spent = GetTickCount() - self->startTick_;
      if (spent >= t.giveUpMs) {
        util::LogWarning("hand-back: window %ld has not answered for %lu ms; given up, it goes with our process",
                         value, static_cast<unsigned long>(spent));
        break;
      }
      if (!toldWaiting) {
        util::LogInfo("hand-back: window %ld does not answer; waiting for it", value);
        toldWaiting = true;
      }
      Sleep(t.probePauseMs);
    }
  } catch (...) {
    util::LogCaughtException("a hand-back helper");
  }
  self->Finish(w, result);
}

void HandBack::Finish(HWND window, HandBackState state) {
  std::lock_guard<std::mutex> guard(lock_);
  auto it = states_.find(window);
  if (it == states_.end() || it->second != HandBackState::kPending) return;
  it->second = state;
  if (--pending_ == 0 && allDone_) SetEvent(allDone_.get());
}

DWORD HandBack::CompletionLimitMs() const {
  // After the give-up a helper may be in its last probe, or in a hand-back of a client that
  // answered the probe and stopped again.
  return timings_.giveUpMs + timings_.probeTimeoutMs + timings_.probePauseMs + 5000;
}

bool HandBack::WaitForAll(DWORD limitMs) const {
  const DWORD start = GetTickCount();
  HANDLE done = allDone_.get();
  for (;;) {
    if (Count().pending == 0) return true;
    const DWORD spent = GetTickCount() - start;
    if (spent >= limitMs) return false;
    DWORD slice = limitMs - spent;
    if (slice > 100) slice = 100;
    if (done == nullptr) {
      Sleep(slice);
      continue;
    }
    const DWORD r = MsgWaitForMultipleObjects(1, &done, FALSE, slice, QS_SENDMESSAGE);
    if (r == WAIT_OBJECT_0 + 1) {
      // Answers the messages sent to this thread; posted ones and input stay queued.
      MSG msg;
      PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    } else if (r == WAIT_FAILED) {
      Sleep(slice);
    }
  }
}

HandBackState HandBack::StateOf(HWND window) const {
  std::lock_guard<std::mutex> guard(lock_);
  auto it = states_.find(window);
  return it == states_.end() ? HandBackState::kGone : it->second;
}

HandBack::Tally HandBack::Count() const {
  std::lock_guard<std::mutex> guard(lock_);
  Tally tally;
  for (const auto& entry : states_) {
    switch (entry.second) {
      case HandBackState::kPending: ++tally.pending; break;
      case HandBackState::kHandedBack: ++tally.handedBack; break;
      case HandBackState::kGone: ++tally.gone; break;
      case HandBackState::kGivenUp: ++tally.givenUp; break;
    }
  }
  return tally;
}

}  // namespace host
