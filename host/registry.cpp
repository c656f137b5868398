// The instance registry, the host panes' set-up and the tab hand-offs.
//
// Tab controls are created and destroyed on the user-interface thread only. Worker
// threads ask for that through the one-shot timers createTabTimer (append a tab) and destroyTabTimer
// (destroy the tab at pendingTabRemoval); a destruction request waits until done.
#include "host/registry.h"

#include <string>

#include "app/main_form.h"
#include "app/program_state.h"
#include "host/window_ops.h"
#include "util/delay.h"

namespace host {
namespace {

constexpr int kHostLeft = 82;  // right of the tab strip
constexpr int kTabHeight = 80;
constexpr int kTabTopMargin = 2;
constexpr int kTimerRequestMs = 10;
constexpr int kDestructionPollMs = 100;

}  // namespace

// tabs and hostedWindows are read on the user-interface thread (tab clicks, hook
// handlers) while the cycle thread takes elements out of them. Every change and
// every read holds listLock for that one step only, and readers work on copies,
// so the lock is never held while a window (ours or a hosted client's) is called.
std::vector<TabPtr> InstanceRegistry::Tabs() const {
  std::lock_guard<std::mutex> guard(listLock);
  return tabs;
}

std::vector<HWND> InstanceRegistry::HostedWindows() const {
  std::lock_guard<std::mutex> guard(listLock);
  return hostedWindows;
}

int InstanceRegistry::TabCount() const {
  std::lock_guard<std::mutex> guard(listLock);
  return static_cast<int>(tabs.size());
}

int InstanceRegistry::HostedWindowCount() const {
  std::lock_guard<std::mutex> guard(listLock);
  return static_cast<int>(hostedWindows.size());
}

TabPtr InstanceRegistry::TabAt(int position) const {
  std::lock_guard<std::mutex> guard(listLock);
  if (position < 1 || position > static_cast<int>(tabs.size())) return nullptr;
  return tabs[static_cast<std::size_t>(position - 1)];
}

HWND InstanceRegistry::HostedWindowAt(int position) const {
  std::lock_guard<std::mutex> guard(listLock);
  if (position < 1 || position > static_cast<int>(hostedWindows.size())) return nullptr;
  return hostedWindows[static_cast<std::size_t>(position - 1)];
}

int InstanceRegistry::AppendTab(TabPtr tab) {
  std::lock_guard<std::mutex> guard(listLock);
  tabs.push_back(std::move(tab));
  return static_cast<int>(tabs.size());
}

void InstanceRegistry::AppendHostedWindow(HWND window) {
  std::lock_guard<std::mutex> guard(listLock);
  hostedWindows.push_back(window);
}

void InstanceRegistry::TakeOut(int position) {
  std::lock_guard<std::mutex> guard(listLock);
  std::size_t index = static_cast<std::size_t>(position - 1);
  if (position >= 1 && index < tabs.size()) tabs.erase(tabs.begin() + static_cast<std::ptrdiff_t>(index));
  if (position >= 1 && index < hostedWindows.size()) {
    hostedWindows.erase(hostedWindows.begin() + static_cast<std::ptrdiff_t>(index));
  }
}

InstanceRegistry& Registry() {
  static InstanceRegistry registry;
  return registry;
}

int TabTop(int position) { return (position - 1) * kTabHeight + kTabTopMargin; }

void OnHostWindowCreated(int k) {
  if (k < 1 || k > kMaxInstances) return;
  MainForm& form = Form();
  HWND hostWindow = form.panes[k - 1].Handle();
  SetParentWindow(hostWindow, form.mainWindow.Handle());
  MoveWindowKeep(hostWindow, kHostLeft, 0, Program().paneWidth, Program().paneHeight);
}

void CreateTab() {
  MainForm& form = Form();
  // The one-shot timer stops itself first. Run at start-up it is already stopped.
  if (form.createTabTimer.Interval() != 0) form.createTabTimer.SetInterval(0);
  // Six tabs is the strip's limit: with six hosted there is no add tab.
  if (Registry().TabCount() >= kMaxInstances) return;
  if (!form.tabTemplate || !form.tabStrip) return;

  // The copy lands in the tab strip with the template's properties and click handler.
  std::unique_ptr<ui::PictureBox> copy = form.tabTemplate->CopyInto(*form.tabStrip);
  if (!copy) return;
  TabPtr tab(std::move(copy));
  int n = Registry().AppendTab(tab);
  tab->SetTag(std::to_string(n));
  tab->SetTop(TabTop(n));
  tab->SetVisible(true);
  tab->SetEnabled(true);
}

void DestroyPendingTab() {
  MainForm& form = Form();
  form.destroyTabTimer.SetInterval(0);
  // The list keeps the destroyed control; the waiting caller takes it out afterwards.
  if (TabPtr tab = Registry().TabAt(Registry().pendingTabRemoval.load())) tab->Destroy();
  Registry().pendingTabRemoval = 0;
}

void RequestNewTab() { Form().createTabTimer.SetInterval(kTimerRequestMs); }

void RequestTabDestruction(int position) {
  InstanceRegistry& registry = Registry();
  registry.pendingTabRemoval = position;
  Form().destroyTabTimer.SetInterval(kTimerRequestMs);
  // Delay keeps this thread's messages flowing; on the user-interface thread it also
  // lets destroyTabTimer tick inside the wait.
  while (registry.pendingTabRemoval.load() > 0) util::Delay(kDestructionPollMs);
}

void ShowEmptyStateHint(bool visible) {
  MainForm& form = Form();
  if (form.emptyHintText) form.emptyHintText->SetVisible(visible);
  if (form.emptyHintPicture) form.emptyHintPicture->SetVisible(visible);
}

}  // namespace host
