#pragma once
// The instance host's shared state and the tab hand-offs to the user-interface thread.
#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "ui/units.h"

namespace host {

constexpr ui::Colour kTabSelected = 3026478;    // RGB 46,46,46
constexpr ui::Colour kTabUnselected = 8421504;  // RGB 128,128,128
constexpr int kMaxInstances = 6;

using TabPtr = std::shared_ptr<ui::PictureBox>;

struct InstanceRegistry {
  // Guards tabs and hostedWindows. Held only for a change or to copy, never while
  // calling into a window (a hosted client may hang).
  mutable std::mutex listLock;
  std::vector<TabPtr> tabs;
  std::vector<HWND> hostedWindows;

  std::atomic<int> hostedCount{0};
  std::atomic<HWND> loginWindow{nullptr};
  std::atomic<HWND> currentWindow{nullptr};
  std::atomic<int> pendingTabRemoval{0};
  std::atomic<int> cycleRunning{0};

  // Copies for readers.
  std::vector<TabPtr> Tabs() const;
  std::vector<HWND> HostedWindows() const;

  // One locked step each; positions are 1-based, out of range gives null / nothing.
  int TabCount() const;
  int HostedWindowCount() const;
  TabPtr TabAt(int position) const;
  HWND HostedWindowAt(int position) const;
  int AppendTab(TabPtr tab);  // returns the new number of tabs
  void AppendHostedWindow(HWND window);
  // Takes element `position` out of tabs and out of hostedWindows; later ones move up.
  void TakeOut(int position);
};

InstanceRegistry& Registry();

// Top of the tab at `position`: (position - 1) * 80 + 2.
int TabTop(int position);

void OnHostWindowCreated(int k);  // k = 1..6
void CreateTab();
void DestroyPendingTab();
void RequestNewTab();
void RequestTabDestruction(int position);
void ShowEmptyStateHint(bool visible);

}  // namespace host
