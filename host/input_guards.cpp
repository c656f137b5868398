// What the user does to tabs and panes: tab clicks, the pointer guard over the hosted
// window's title-bar buttons, Alt+A, and the refresh after the main window has moved.
// All of it runs on the user-interface thread (window events and hook handlers), so calls
// towards client windows never wait for the client. The pointer guard only reads window
// state, queues the enabling to a helper and ends a process without waiting; Alt+A's window
// work is posted out of the hook.
#include <functional>

#include "host/client_windows.h"
#include "host/host_bookkeeping.h"
#include "host/instance_host.h"
#include "util/log.h"
#include "util/worker_thread.h"

namespace host {

void InstanceHost::OnTabClick(int position) {
  const HostSnapshot s = model_.Snapshot();
  if (position < 1 || position > static_cast<int>(s.tabs.size())) return;
  const bool selected = s.tabs[static_cast<size_t>(position - 1)].state.selected;
  const TabClickAction action =
      DecideTabClick(selected, position, static_cast<int>(s.hostedWindows.size()), s.hostedCount);
  if (action == TabClickAction::kNothing) return;

  model_.SelectOnlyTab(position);
  switch (action) {
    case TabClickAction::kSelectPane:
      model_.ShowOnlyPane(position);
      model_.SetCurrentWindow(s.hostedWindows[static_cast<size_t>(position - 1)]);
      break;
    case TabClickAction::kLaunch:
      model_.SetAllTabsEnabled(false);
      if (!util::StartWorkerThread([this] { RunLaunch(); }, "launch")) {
        model_.SetTabSelected(position, false);
        model_.SetAllTabsEnabled(true);
      }
      break;
    case TabClickAction::kRefuseLaunch:
      // Six are counted while the sixth window is still being adopted: nothing to launch.
      model_.SetTabSelected(position, false);
      for (int j = 1; j <= kMaxInstances && j <= static_cast<int>(s.tabs.size()); ++j) {
        if (s.paneVisible[static_cast<size_t>(j - 1)]) model_.SetTabSelected(j, true);
      }
      break;
    case TabClickAction::kNothing:
      break;
  }
  Render();
}

void InstanceHost::OnMouseEvent(const util::MouseEvent& event) {
  HWND current = model_.Snapshot().currentWindow;
  if (!Found(current)) return;
  const std::int32_t under = HandleValue(event.windowUnderPointer);
  // Reading the parent and the enabled state asks nothing of the client.
  const std::int32_t parent = HandleValue(windows_.ParentOf(current));
  const bool disabled = !windows_.IsEnabled(current);
  if (!DecideMouseGuard(HandleValue(current), under, parent, disabled, 0, 0, 0, 0, 0).act) return;
  const Offset offset = windows_.CursorOffsetInWindow(current);
  const MouseGuardDecision d =
      DecideMouseGuard(HandleValue(current), under, parent, disabled, static_cast<int>(event.button),
                       static_cast<int>(event.action), offset.x, offset.y, view_.PaneSizeOf().width);
  windows_.EnableWindowAsync(current, !d.disable);
  // The press still reaches the client; the cycle drops the tab once the window has gone.
  if (d.endProcess) {
    const DWORD pid = windows_.ProcessIdOfWindow(current);
    util::LogInfo("guard: close box pressed, ending process %lu", static_cast<unsigned long>(pid));
    windows_.EndProcess(pid);
  }
}

void InstanceHost::OnKeyEvent(const util::KeyEvent& event) {
  // Inside the keyboard hook: decide and post only. Minimising, hiding, restoring and
  // activating send focus and activation messages into the hosted client's thread, which
  // may hang; Windows removes a hook that takes longer than LowLevelHooksTimeout.
  std::function<void()> work;
  switch (DecideAltA(model_.Snapshot().hostedCount, event)) {
    case AltAAction::kHide:
      work = [this] { view_.HideMainWindow(); };
      break;
    case AltAAction::kShow:
      work = [this] {
        view_.ShowMainWindow();
        windows_.ActivateWindow(view_.MainWindow());
      };
      break;
    case AltAAction::kNothing:
      return;
  }
  if (!view_.PostToUiThread(std::move(work))) util::LogWarning("Alt+A: the hide or show could not be posted, nothing done");
}

void InstanceHost::OnMainWindowMoved() {
  const HostSnapshot s = model_.Snapshot();
  const PaneSize pane = view_.PaneSizeOf();
  if (Found(s.loginWindow)) {
    windows_.MoveWindowAsync(s.loginWindow, kLoginWindowX + 1, kLoginWindowY);
    windows_.MoveWindowAsync(s.loginWindow, kLoginWindowX, kLoginWindowY);
  }
  for (HWND h : s.hostedWindows) {
    windows_.MoveWindowAsync(h, 1, 0, pane.width, pane.height);
    windows_.MoveWindowAsync(h, 0, 0, pane.width, pane.height);
  }
}

}  // namespace host
