// The host set-up and the monitor: one adoption cycle after another takes logged-in client
// windows into the panes, keeps the current one fitted, ends clients that show an alert
// and drops instances whose window has gone.
#include <windows.h>

#include "app/main_form.h"
#include "app/program_state.h"
#include "host/avatar.h"
#include "host/foreign_calls.h"
#include "host/host_bookkeeping.h"
#include "host/host_state.h"
#include "host/hung_clients.h"
#include "host/instance_host.h"
#include "host/registry.h"
#include "host/window_ops.h"
#include "util/delay.h"
#include "util/worker_thread.h"

namespace host {

std::atomic<unsigned> adoptionSerial{0};

namespace {
std::atomic<bool> adoptionStopped{false};
}  // namespace

HWND MainWindowHandle() { return Form().mainWindow.Handle(); }
HWND HostWindowHandle(int k) { return Form().panes[k - 1].Handle(); }

namespace {

constexpr int kMonitorPauseMs = 100;
constexpr int kVisibilityPollMs = 100;
// A window that never becomes visible must not stop the monitor for good.
constexpr DWORD kVisibilityWaitLimitMs = 5000;
constexpr int kAvatarDelayMs = 200;

void SetTabColours(const std::vector<TabPtr>& tabs, size_t selectedIndex) {
  for (const TabPtr& tab : tabs) tab->SetBackColour(kTabUnselected);
  if (selectedIndex < tabs.size()) tabs[selectedIndex]->SetBackColour(kTabSelected);
}

void Adopt(HWND w) {
  InstanceRegistry& reg = Registry();
  const ProgramState& program = Program();

  if (!IsWindowVisible(w)) ShowWindow(w, SW_SHOWNORMAL);
  WriteRouteFileIfChanged(GetWindowExePath(w));
  reg.loginWindow = nullptr;
  ShowEmptyStateHint(false);
  const int k = ++reg.hostedCount;

  SetParentWindow(w, HostWindowHandle(k));
  Form().panes[k - 1].SetVisible(true);

  const DWORD waitStart = GetTickCount();
  while (!IsWindowVisible(w) && GetTickCount() - waitStart < kVisibilityWaitLimitMs) {
    util::Delay(kVisibilityPollMs);
  }
  MoveWindowKeep(w, 0, 0, program.paneWidth, program.paneHeight);
  reg.AppendHostedWindow(w);
  reg.currentWindow = w;
  ++adoptionSerial;

  util::Delay(kAvatarDelayMs);
  const Bytes avatar = CaptureAvatar(w);
  const std::vector<TabPtr> tabs = reg.Tabs();
  if (!tabs.empty()) {
    // The add tab becomes this instance's tab, launched through it or not.
    if (avatar.empty() || !tabs.back()->SetPicture(avatar)) tabs.back()->ClearPicture();
  }
  SetTabColours(tabs, tabs.empty() ? 0 : tabs.size() - 1);
  if (reg.hostedCount < kMaxInstances) RequestNewTab();
}

}  // namespace

void StartInstanceHost() {
  Form().hostStartTimer.SetInterval(0);
  for (int k = 1; k <= kMaxInstances; ++k) LoadHostWindow(k);
  util::Delay(1000);
  for (const TabPtr& tab : Registry().Tabs()) tab->SetEnabled(true);
  util::StartWorkerThread(RunMonitor, "monitor");
}

// One monitor thread runs the cycles itself, one after the other, instead of a thread per
// cycle: cycles cannot overlap, a new one starts 100 ms after the previous ended, and no
// thread is created ten times a second. cycleRunning still marks a cycle in progress.
void RunMonitor() {
  InstanceRegistry& reg = Registry();
  for (;;) {
    if (reg.cycleRunning == 0 && !adoptionStopped) {
      reg.cycleRunning = 1;
      AdoptionCycle();
    }
    util::Delay(kMonitorPauseMs);
  }
}

void StopAdoption() {
  adoptionStopped = true;
  const DWORD start = GetTickCount();
  while (Registry().cycleRunning != 0 && GetTickCount() - start < 2000) util::Delay(20);
}

void AdoptionCycle() {
  InstanceRegistry& reg = Registry();
  const ProgramState& program = Program();

  SetProcessWorkingSetSize(GetCurrentProcess(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1));

  if (reg.hostedCount < kMaxInstances) {
    // Only top-level windows are found: hosted ones are never found again.
    HWND w = FindWindowByClassTitle(nullptr, nullptr, kMainWindowClass, kWeChatTitle);
    if (Found(w)) Adopt(w);
  }

  // The client may change its own size; while the pointer is over the current pane the
  // window is pulled back to the pane's size.
  HWND current = reg.currentWindow.load();
  if (current != nullptr && WindowUnderCursor() == current) {
    MoveWindowAsync(current, 0, 0, program.paneWidth, program.paneHeight);
  }

  HWND alert = FindWindowByClassTitle(nullptr, nullptr, kAlertWindowClass, kWeChatTitle);
  if (Found(alert)) EndProcess(ProcessIdOfWindow(alert));

  const std::vector<HWND> hosted = reg.HostedWindows();
  for (size_t i = 0; i < hosted.size(); ++i) {
    if (!Found(FindWindowByHandleOrTitle(HandleText(hosted[i])))) {
      RemoveInstance(static_cast<int>(i) + 1);
      break;  // at most one removal per cycle
    }
  }

  std::vector<HWND> held = reg.HostedWindows();
  if (HWND login = reg.loginWindow.load(); Found(login) && IsWindow(login)) held.push_back(login);
  KeepInputFromHungClients(held);

  reg.cycleRunning = 0;
}

void RemoveInstance(int position) {
  InstanceRegistry& reg = Registry();
  --reg.hostedCount;
  RequestTabDestruction(position);

  // Only this thread takes elements out, so the count before and the lists after belong
  // together even though each is read under its own hold of the lock.
  const RemovalPlan plan = PlanRemoval(reg.TabCount(), position);
  reg.TakeOut(position);
  const std::vector<TabPtr> tabs = reg.Tabs();
  const std::vector<HWND> hosted = reg.HostedWindows();

  const int n = static_cast<int>(tabs.size());
  if (plan.panesLeft) {
    for (int j = 1; j <= n; ++j) {
      tabs[j - 1]->SetTag(plan.tabs[j - 1].tag);
      tabs[j - 1]->SetTop(plan.tabs[j - 1].top);
      // The dead window's host is empty now; each later window moves one host down.
      if (j <= static_cast<int>(hosted.size()) && !HostHasChild(HostWindowHandle(j))) {
        SetParentWindow(hosted[j - 1], HostWindowHandle(j));
      }
    }
    SetTabColours(tabs, 0);
    Form().panes[0].SetVisible(true);
    for (int k = 2; k <= kMaxInstances; ++k) Form().panes[k - 1].SetVisible(false);
    reg.currentWindow = hosted.empty() ? nullptr : hosted[0];
  } else {
    for (int j = 1; j <= n; ++j) {
      tabs[j - 1]->SetTag(plan.tabs[j - 1].tag);
      tabs[j - 1]->SetTop(plan.tabs[j - 1].top);
    }
    reg.currentWindow = nullptr;
    Form().panes[0].SetVisible(false);
    ShowEmptyStateHint(true);
  }

  if (NeedsAddTab(reg.hostedCount, n)) RequestNewTab();
}

}  // namespace host
