// One adoption cycle: takes a logged-in client window into the next pane, keeps the current
// one fitted, ends clients that show an alert, drops the first instance whose window has
// gone, and keeps hung clients from stalling our input.
#include <algorithm>

#include "host/client_windows.h"
#include "host/host_bookkeeping.h"
#include "host/instance_host.h"
#include "util/log.h"

namespace host {

void InstanceHost::TrimWorkingSetWhenDue() {
  const DWORD now = GetTickCount();
  if (!TrimIsDue(trimmedOnce_, changedSinceTrim_, now - lastTrimTick_, settings_.timings.trimIntervalMs)) return;
  windows_.TrimWorkingSet();
  trimmedOnce_ = true;
  changedSinceTrim_ = false;
  lastTrimTick_ = now;
}

void InstanceHost::RunCycle() {
  TrimWorkingSetWhenDue();

  if (model_.Snapshot().hostedCount < kMaxInstances) {
    // Only top-level windows are found: hosted ones are never found again.
    HWND w = windows_.FindWindowByClassTitle(nullptr, nullptr, kMainWindowClass, kWeChatTitle);
    if (Found(w)) Adopt(w);
  }

  // The client may change its own size; while the pointer is over the current pane the
  // window is pulled back to the pane's size. One already there is left alone: a move would
  // only make the client handle a position change that changes nothing, ten times a second.
  const PaneSize pane = view_.PaneSizeOf();
  HWND current = model_.Snapshot().currentWindow;
  if (current != nullptr && windows_.WindowUnderCursor() == current &&
      !windows_.IsPlacedAt(current, 0, 0, pane.width, pane.height)) {
    windows_.MoveWindowAsync(current, 0, 0, pane.width, pane.height);
  }

  HWND alert = windows_.FindWindowByClassTitle(nullptr, nullptr, kAlertWindowClass, kWeChatTitle);
  if (Found(alert)) {
    const DWORD pid = windows_.ProcessIdOfWindow(alert);
    util::LogInfo("alert: ending process %lu (alert window %ld)", static_cast<unsigned long>(pid),
                  static_cast<long>(HandleValue(alert)));
    windows_.EndProcess(pid);
  }

  const std::vector<HWND> hosted = model_.Snapshot().hostedWindows;
  for (size_t i = 0; i < hosted.size(); ++i) {
    if (!Found(windows_.FindWindowByHandleOrTitle(HandleText(hosted[i])))) {
      RemoveInstance(static_cast<int>(i) + 1);
      break;  // at most one removal per cycle
    }
  }

  // A window left in its old pane by a removal while its client was hung.
  if (!windowsAwaitingMove_.empty()) PlaceHostedWindows();

  const HostSnapshot after = model_.Snapshot();
  std::vector<HWND> held = after.hostedWindows;
  if (Found(after.loginWindow) && windows_.Exists(after.loginWindow)) held.push_back(after.loginWindow);
  const DWORD now = GetTickCount();
  if (held != lastHungScanWindows_ || now - lastHungScanTick_ >= settings_.timings.hungScanIntervalMs) {
    KeepInputFromHungClients(held);
    lastHungScanWindows_ = held;
    lastHungScanTick_ = now;
  }
}

void InstanceHost::Adopt(HWND w) {
  const HostTimings& t = settings_.timings;
  const PaneSize pane = view_.PaneSizeOf();

  const bool wasHidden = !windows_.IsVisible(w);
  if (wasHidden) windows_.ShowWindowNormal(w);
  WriteRouteFileIfChanged(windows_.GetWindowExePath(w));
  model_.SetLoginWindow(nullptr);
  model_.SetHintVisible(false);
  const int k = model_.RaiseHostedCount();
  util::LogInfo("adopting: window %ld into pane %d", static_cast<long>(HandleValue(w)), k);

  // Recorded before it goes into the pane, so that a release at any point finds it.
  model_.SetAdoptingWindow(w);
  if (monitor_.Stopped()) {
    util::LogInfo("adoption: stopped before window %ld went into pane %d", static_cast<long>(HandleValue(w)), k);
    return;
  }
  windows_.SetParentWindow(w, view_.Pane(k));
  // The other panes keep their visibility; pane k lies above every lower-numbered one.
  model_.SetPaneVisible(k, true);
  Render();

  const DWORD waitStart = GetTickCount();
  while (!windows_.IsVisible(w) && GetTickCount() - waitStart < t.visibilityLimitMs) {
    if (!monitor_.Wait(t.visibilityPollMs) && monitor_.Stopped()) break;
  }
  if (monitor_.Stopped()) {
    // The release may have handed it back before our SetParent: hand it back once more;
    // a second hand-back changes nothing.
    util::LogInfo("adoption: stopped while window %ld was in pane %d; it goes back to the desktop",
                  static_cast<long>(HandleValue(w)), k);
    ReturnToDesktop(w);
    return;
  }
  windows_.MoveWindowKeep(w, 0, 0, pane.width, pane.height);
  model_.AppendHostedWindow(w);
  changedSinceTrim_ = true;
  util::LogInfo("adopted: window %ld into pane %d%s", static_cast<long>(HandleValue(w)), k,
                wasHidden ? " (it was hidden and is shown)" : "");

  monitor_.Wait(t.avatarDelayMs);
  // The add tab becomes this instance's tab, launched through it or not.
  model_.SetLastTabAvatar(windows_.CaptureAvatar(w));
  model_.SelectOnlyTab(static_cast<int>(model_.Snapshot().tabs.size()));
  if (model_.Snapshot().hostedCount < kMaxInstances) model_.AppendTab();
  Render();
}

void InstanceHost::RemoveInstance(int position) {
  const HostSnapshot before = model_.Snapshot();
  const HWND gone = position >= 1 && position <= static_cast<int>(before.hostedWindows.size())
                        ? before.hostedWindows[static_cast<size_t>(position - 1)]
                        : nullptr;
  const int tabsBefore = model_.TakeOutInstance(position);
  changedSinceTrim_ = true;
  const RemovalPlan plan = PlanRemoval(tabsBefore, position);
  const std::vector<HWND> hosted = model_.Snapshot().hostedWindows;

  if (plan.panesLeft) {
    // The dead window's pane is empty now; each later window moves one pane down.
    PlaceHostedWindows();
    model_.SelectOnlyTab(1);
    model_.ShowOnlyPane(1);
    model_.SetCurrentWindow(hosted.empty() ? nullptr : hosted[0]);
  } else {
    model_.SetCurrentWindow(nullptr);
    model_.SetPaneVisible(1, false);
    model_.SetHintVisible(true);
  }

  const HostSnapshot after = model_.Snapshot();
  if (NeedsAddTab(after.hostedCount, static_cast<int>(after.tabs.size()))) model_.AppendTab();
  util::LogInfo("removed: instance %d (window %ld gone), %d hosted", position,
                static_cast<long>(HandleValue(gone)), after.hostedCount);
  Render();
}

void InstanceHost::PlaceHostedWindows() {
  // Hosted window i belongs in pane i + 1. SetParent waits for the window's thread, so a
  // hung client is left where it is and moved in a later cycle, once it answers.
  const std::vector<HWND> hosted = model_.Snapshot().hostedWindows;
  std::set<HWND> awaiting;
  for (int k = 1; k <= static_cast<int>(hosted.size()); ++k) {
    const HWND w = hosted[static_cast<size_t>(k - 1)];
    const HWND pane = view_.Pane(k);
    if (pane == nullptr || windows_.ParentOf(w) == pane) continue;
    const bool waitedBefore = windowsAwaitingMove_.count(w) != 0;
    if (windows_.IsHung(w)) {
      awaiting.insert(w);
      if (!waitedBefore) {
        util::LogWarning("hung: window %ld does not answer; it moves to pane %d once it does",
                         static_cast<long>(HandleValue(w)), k);
      }
      continue;
    }
    windows_.SetParentWindow(w, pane);
    if (waitedBefore) {
      util::LogInfo("moved: window %ld answers again and goes into pane %d", static_cast<long>(HandleValue(w)), k);
    }
  }
  windowsAwaitingMove_.swap(awaiting);
}

void InstanceHost::KeepInputFromHungClients(const std::vector<HWND>& clientWindows) {
  // A client window inside one of ours ties its thread's input to our user-interface
  // thread: once the client stops handling messages, input meant for our windows queues up
  // behind it. The input of a client the system counts as hung is detached, and attached
  // again once it answers.
  // A window's thread never changes: asked once per window while it is held.
  auto threadOf = [this](HWND w) {
    const auto known = windowThreads_.find(w);
    if (known != windowThreads_.end()) return known->second;
    const DWORD thread = windows_.ThreadIdOfWindow(w);
    if (thread != 0) windowThreads_[w] = thread;
    return thread;
  };
  const DWORD uiThread = threadOf(view_.MainWindow());
  if (uiThread == 0) return;
  for (auto it = windowThreads_.begin(); it != windowThreads_.end();) {
    const bool held = it->first == view_.MainWindow() ||
                      std::find(clientWindows.begin(), clientWindows.end(), it->first) != clientWindows.end();
    it = held ? std::next(it) : windowThreads_.erase(it);
  }
  std::set<DWORD> present;
  for (HWND w : clientWindows) {
    const DWORD thread = threadOf(w);
    if (thread == 0 || thread == uiThread) continue;
    present.insert(thread);
    const bool hung = windows_.IsHung(w);
    const bool isDetached = detachedThreads_.count(thread) != 0;
    if (hung && !isDetached) {
      util::LogWarning("hung: client window %ld does not answer; its input is detached from ours",
                       static_cast<long>(HandleValue(w)));
      windows_.AttachInput(uiThread, thread, false);
      detachedThreads_.insert(thread);
    } else if (!hung && isDetached) {
      util::LogInfo("hung: client window %ld answers again; its input is attached again",
                    static_cast<long>(HandleValue(w)));
      windows_.AttachInput(uiThread, thread, true);
      detachedThreads_.erase(thread);
    }
  }
  // Threads of clients that have gone need nothing more.
  for (auto it = detachedThreads_.begin(); it != detachedThreads_.end();) {
    it = present.count(*it) ? std::next(it) : detachedThreads_.erase(it);
  }
}

}  // namespace host
