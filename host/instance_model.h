#pragma once
// The instance host's state: the hosted instances with their windows and tabs, the
// selection, the panes shown, the login window, the current window and the empty-state
// hint. Owned by the host, changed only through these methods (each under the one lock),
// read as snapshots. The tab controls are drawn from snapshots and hold no state of their own.
#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "host/host_bookkeeping.h"
#include "util/text.h"

namespace host {

enum class TabPicture { kPlus, kAvatar, kNone };

struct TabState {
  std::uint64_t id = 0;  // stays with the tab while its position changes
  bool selected = false;
  bool enabled = true;
  TabPicture picture = TabPicture::kPlus;
  std::shared_ptr<const Bytes> avatar;  // with kAvatar
};

// A tab as it is to be shown at its position (1-based: tabs[0] is position 1).
struct TabView {
  TabState state;
  Text tag;
  int top = 0;
};

struct HostSnapshot {
  std::vector<TabView> tabs;
  std::vector<HWND> hostedWindows;  // element i is shown in pane i + 1 and by tab i + 1
  int hostedCount = 0;              // raised before a window is appended, lowered on removal
  HWND loginWindow = nullptr;
  HWND currentWindow = nullptr;
  HWND adoptingWindow = nullptr;  // in a pane (or about to be), not yet in hostedWindows
  std::array<bool, kMaxInstances> paneVisible{};
  bool hintVisible = true;
  unsigned adoptionSerial = 0;  // counts adoptions since the start

  bool HasAddTab() const { return static_cast<int>(tabs.size()) > static_cast<int>(hostedWindows.size()); }
};

class InstanceModel {
 public:
  HostSnapshot Snapshot() const;

  // Appends a tab (the add tab); false when six tabs exist already.
  bool AppendTab();
  void SetAllTabsEnabled(bool enabled);
  // Selects the tab at position (0: none) and unselects every other one.
  void SelectOnlyTab(int position);
  void SetTabSelected(int position, bool selected);
  // The last tab's picture: the avatar, or nothing when the capture gave no bytes.
  void SetLastTabAvatar(Bytes avatar);

  void SetLoginWindow(HWND window);
  void SetCurrentWindow(HWND window);
  void SetHintVisible(bool visible);
  void SetPaneVisible(int k, bool visible);  // k = 1..6
  void ShowOnlyPane(int k);                  // k = 1..6

  // The first half of an adoption: raises hostedCount and returns the new value.
  int RaiseHostedCount();
  // Before the window goes into a pane: a release in between hands it back too.
  void SetAdoptingWindow(HWND window);
  // The second half: the window joins hostedWindows and becomes the current one.
  void AppendHostedWindow(HWND window);
  // Lowers hostedCount and takes tab `position` and hosted window `position` out;
  // later ones move up. Returns the number of tabs before.
  int TakeOutInstance(int position);

  // The normal end: the lists go (the controls live on until the process ends).
  void Forget();

 private:
  mutable std::mutex lock_;
  std::vector<TabState> tabs_;
  std::vector<HWND> hostedWindows_;
  int hostedCount_ = 0;
  HWND loginWindow_ = nullptr;
  HWND currentWindow_ = nullptr;
  HWND adoptingWindow_ = nullptr;
  std::array<bool, kMaxInstances> paneVisible_{};
  bool hintVisible_ = true;
  unsigned adoptionSerial_ = 0;
  std::uint64_t nextTabId_ = 1;
};

}  // namespace host
