#pragma once
// The instance host: launches the client, adopts its logged-in windows into the six panes,
// keeps the tabs, drops instances whose window has gone, and guards the hosted windows'
// title-bar buttons. It talks to other processes only through ForeignWindows and to the
// form only through HostView; its state is an InstanceModel.
#include <windows.h>

#include <atomic>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "host/client_windows.h"
#include "host/foreign_windows.h"
#include "host/hand_back.h"
#include "host/host_view.h"
#include "host/instance_model.h"
#include "host/monitor.h"
#include "util/input_hooks.h"
#include "util/text.h"

namespace host {

// The waits and limits of the flows. The defaults are the program's; tests shorten them.
struct HostTimings {
  int panesSettleMs = 1000;      // after loading the panes, before the tabs are enabled
  int cyclePauseMs = 100;        // between one cycle's end and the next one's start
  // The working-set trim: in the cycle after an adoption or a removal, else at most this often.
  // Trimming every cycle would have Windows fault the whole working set back in each time.
  DWORD trimIntervalMs = 5000;
  // An adopted window becoming visible: under Wine it shows again some milliseconds after
  // SetParent; looking every 10 ms instead of every 100 takes it that much sooner.
  int visibilityPollMs = 10;
  DWORD visibilityLimitMs = 5000;  // a window that never becomes visible must not stop the monitor
  int avatarDelayMs = 200;       // before the avatar is captured
  // The hung-client check asks the system about every held window. The system counts a
  // client as hung only after 5 s without an answer, so asking twice a second is enough;
  // a change in the held windows is looked at in the next cycle.
  DWORD hungScanIntervalMs = 500;
  int launchFirstWaitMs = 2000;  // after the client was started or found
  int loginPollMs = 200;
  DWORD loginWaitLimitMs = 60000;  // a client that logs in by itself shows no login window
  int embeddedPollMs = 500;      // the held login window still there
};

struct HostSettings {
  Text routeFilePath;  // route.dat beside the executable
  Text defaultClientPath = kDefaultWeChatPath;
  HostTimings timings;
};

class InstanceHost {
 public:
  InstanceHost(ForeignWindows& windows, HostView& view, HostSettings settings);
  ~InstanceHost();  // stops the monitor
  InstanceHost(const InstanceHost&) = delete;
  InstanceHost& operator=(const InstanceHost&) = delete;

  // Start-up: the first tab, the add tab.
  void CreateFirstTab();
  // The host set-up timer's first tick (user-interface thread): loads the panes and starts
  // the monitor, which enables the tabs after the panes have settled and then runs cycles.
  void Start();
  // One adoption cycle on the calling thread (the monitor's; tests call it directly).
  void RunCycle();
  // No cycle starts any more; one under way is waited for.
  void StopAdoption();
  // Stops adoption, then starts handing every hosted window, the one being adopted and the
  // held login window back to the desktop (top-level, enabled, shown), each on a helper
  // thread once its client answers; returns at once. Every path on which the program ends
  // itself waits for the result before its process goes.
  std::shared_ptr<HandBack> StartHandBack(const HandBackTimings& timings = HandBackTimings());
  // The normal end: the model's lists go.
  void ForgetInstances();

  // User-interface thread events.
  void OnTabClick(int position);  // 1-based, from the form's own tab mapping
  void OnMouseEvent(const util::MouseEvent& event);
  void OnKeyEvent(const util::KeyEvent& event);
  void OnMainWindowMoved();

  // The launch flow on the calling thread (OnTabClick runs it on a worker thread).
  void RunLaunch();

  HostSnapshot Snapshot() const { return model_.Snapshot(); }

  // route.dat: the bytes up to the first zero; missing or unreadable reads as empty.
  Text ReadRouteFile() const;
  // Writes the path found when it is not empty and differs from what is stored.
  bool WriteRouteFileIfChanged(const Text& path) const;

 private:
  void Render();
  void Adopt(HWND window);
  void RemoveInstance(int position);
  void PlaceHostedWindows();
  void KeepInputFromHungClients(const std::vector<HWND>& clientWindows);
  void TrimWorkingSetWhenDue();
  void ReturnToDesktop(HWND window);
  HWND FindTopLevelLoginWindow();

  ForeignWindows& windows_;
  HostView& view_;
  const HostSettings settings_;
  InstanceModel model_;
  Monitor monitor_;
  // Client threads whose input we detached; only the monitor thread touches this.
  std::set<DWORD> detachedThreads_;
  // Hosted windows not in their pane because their client was hung; monitor thread only.
  std::set<HWND> windowsAwaitingMove_;
  // Threads of the main window and the held client windows; monitor thread only.
  std::map<HWND, DWORD> windowThreads_;
  // The working-set trim; monitor thread only.
  bool trimmedOnce_ = false;
  bool changedSinceTrim_ = false;
  DWORD lastTrimTick_ = 0;
  std::vector<HWND> lastHungScanWindows_;
  DWORD lastHungScanTick_ = 0;
};

}  // namespace host
