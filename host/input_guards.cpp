// What the user does to tabs and panes: tab clicks, the pointer guard over the hosted
// window's title-bar buttons, Alt+A, and the refresh after MainWindow has moved.
// All of it runs on the user-interface thread (window events and hook handlers), so calls
// towards client windows go through foreign_calls and never wait for the client.
#include <windows.h>

#include "app/main_form.h"
#include "app/program_state.h"
#include "host/foreign_calls.h"
#include "host/host_bookkeeping.h"
#include "host/host_state.h"
#include "host/instance_host.h"
#include "host/registry.h"
#include "host/window_ops.h"
#include "util/worker_thread.h"

namespace host {

void OnTabClick(ui::PictureBox& tab) {
  InstanceRegistry& reg = Registry();
  if (tab.BackColour() == kTabSelected) return;

  const std::vector<TabPtr> tabs = reg.Tabs();
  tab.SetBackColour(kTabSelected);
  for (const TabPtr& other : tabs) {
    if (other.get() != &tab) other->SetBackColour(kTabUnselected);
  }

  const int k = static_cast<int>(util::TextToInteger(tab.Tag()));
  const std::vector<HWND> hosted = reg.HostedWindows();
  switch (DecideTabClick(false, k, static_cast<int>(hosted.size()), reg.hostedCount)) {
    case TabClickAction::kSelectPane:
      Form().panes[k - 1].SetVisible(true);
      for (int j = 1; j <= kMaxInstances; ++j) {
        if (j != k) Form().panes[j - 1].SetVisible(false);
      }
      reg.currentWindow = hosted[k - 1];
      break;
    case TabClickAction::kLaunch:
      for (const TabPtr& t : tabs) t->SetEnabled(false);
      util::StartWorkerThread([k] { LaunchWorker(k, 0, 0, 0, 0); }, "launch");
      break;
    case TabClickAction::kRefuseLaunch:
      // Six are counted while the sixth window is still being adopted: nothing to launch.
      tab.SetBackColour(kTabUnselected);
      for (int j = 1; j <= kMaxInstances && j <= static_cast<int>(tabs.size()); ++j) {
        if (Form().panes[j - 1].Visible()) tabs[j - 1]->SetBackColour(kTabSelected);
      }
      break;
    case TabClickAction::kNothing:
      break;
  }
}

void PaneMouseGuard(int button, int action, const Text& pointText) {
  HWND current = Registry().currentWindow.load();
  if (!Found(current)) return;
  const auto under = static_cast<std::int32_t>(util::TextToInteger(util::TextBefore(pointText, "|")));
  // Reading the parent and the enabled state asks nothing of the client.
  const std::int32_t parent = HandleValue(GetAncestor(current, GA_PARENT));
  const bool disabled = !IsWindowEnabled(current);
  if (!DecideMouseGuard(HandleValue(current), under, parent, disabled, 0, 0, 0, 0, 0).act) return;
  const Offset offset = CursorOffsetInWindow(current);
  const MouseGuardDecision d = DecideMouseGuard(HandleValue(current), under, parent, disabled, button,
                                                action, offset.x, offset.y, Program().paneWidth);
  EnableWindowAsync(current, !d.disable);
  // The press still reaches the client; the cycle drops the tab once the window has gone.
  if (d.endProcess) EndProcess(ProcessIdOfWindow(current));
}

void AltAKeyHandler(int modifier, int key, int action) {
  HWND main = MainWindowHandle();
  switch (DecideAltA(Registry().hostedCount, modifier, key, action)) {
    case AltAAction::kHide:
      CloseWindow(main);
      Form().mainWindow.SetVisible(false);
      break;
    case AltAAction::kShow:
      OpenIcon(main);
      Form().mainWindow.SetVisible(true);
      ActivateWindow(main);
      break;
    case AltAAction::kNothing:
      break;
  }
}

void OnMainWindowMoved() {
  InstanceRegistry& reg = Registry();
  const ProgramState& program = Program();
  HWND login = reg.loginWindow.load();
  if (Found(login)) {
    MoveWindowAsync(login, kLoginWindowX + 1, kLoginWindowY);
    MoveWindowAsync(login, kLoginWindowX, kLoginWindowY);
  }
  for (HWND h : reg.HostedWindows()) {
    MoveWindowAsync(h, 1, 0, program.paneWidth, program.paneHeight);
    MoveWindowAsync(h, 0, 0, program.paneWidth, program.paneHeight);
  }
}

}  // namespace host
