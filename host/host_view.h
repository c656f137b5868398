#pragma once
// What the instance host asks of the program's form. The host never touches a control:
// it changes its model and asks for a render; the form draws the snapshot on its own
// thread and reports tab clicks back with the tab's position.
#include <windows.h>

#include <functional>

#include "host/instance_model.h"

namespace host {

struct PaneSize {
  int width = 0;
  int height = 0;
};

class HostView {
 public:
  virtual ~HostView() = default;

  // Draws the snapshot on the user-interface thread; returns at once (from any thread).
  virtual void Render(HostSnapshot snapshot) = 0;

  virtual HWND MainWindow() = 0;
  virtual HWND Pane(int k) = 0;  // k = 1..6; null before the panes are loaded
  virtual PaneSize PaneSizeOf() = 0;
  // User-interface thread: creates the six panes (hidden children of the main window over
  // the pane rectangle, made children in the order 1 to 6).
  virtual void LoadPanes() = 0;
  // Alt+A: minimise and hide the main window; show it again restored.
  virtual void HideMainWindow() = 0;
  virtual void ShowMainWindow() = 0;
  // No client to start: the first-use notice, then the program ends. Does not return.
  virtual void FirstUseNoticeAndEnd() = 0;
  // Queues the task for the user-interface thread's message loop and returns at once, also
  // on that thread (a hook handler posts what it must not wait for). False when it could not
  // be queued: the task then never runs.
  virtual bool PostToUiThread(std::function<void()> task) = 0;
};

}  // namespace host
