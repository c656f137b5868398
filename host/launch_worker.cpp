// The launch: finds or starts the client, holds its login window inside the main window
// while the user logs in, and gives the tabs back when the login window has gone.
#include "host/client_windows.h"
#include "host/host_bookkeeping.h"
#include "host/instance_host.h"
#include "util/log.h"

namespace host {

HWND InstanceHost::FindTopLevelLoginWindow() {
  return windows_.FindWindowByClassTitle(nullptr, nullptr, kLoginWindowClass, kWeChatTitle);
}

void InstanceHost::RunLaunch() {
  const HostTimings& t = settings_.timings;
  const unsigned serialAtStart = model_.Snapshot().adoptionSerial;

  HWND login = FindTopLevelLoginWindow();
  model_.SetLoginWindow(login);
  bool launched;
  if (Found(login)) {
    util::LogInfo("launch: reusing the open login window %ld", static_cast<long>(HandleValue(login)));
    WriteRouteFileIfChanged(windows_.GetWindowExePath(login));
    launched = true;
  } else {
    const Text path = LaunchPath(ReadRouteFile(), settings_.defaultClientPath);
    if (!windows_.ProgramExists(path)) {
      util::LogWarning("launch: no client at %s (first-use notice)", path.c_str());
      view_.FirstUseNoticeAndEnd();
      return;
    }
    util::LogInfo("launch: starting %s", path.c_str());
    launched = windows_.RunProgram(path);
    if (!launched) util::LogWarning("launch: the client did not start");
  }

  if (launched && monitor_.Wait(t.launchFirstWaitMs)) {
    const DWORD waitStart = GetTickCount();
    bool gaveUp = false;
    for (;;) {
      login = model_.Snapshot().loginWindow;
      if (login != nullptr) break;
      // Bounded: a client that logged in by itself was adopted without a login window,
      // or none ever came; either way the tabs are given back.
      if (model_.Snapshot().adoptionSerial != serialAtStart || GetTickCount() - waitStart >= t.loginWaitLimitMs) {
        util::LogInfo("launch: no login window came; the tabs are given back");
        gaveUp = true;
        break;
      }
      model_.SetLoginWindow(FindTopLevelLoginWindow());
      if (!monitor_.Wait(t.loginPollMs)) return;
    }
    if (!gaveUp && Found(login)) {
      HWND main = view_.MainWindow();
      windows_.SetParentWindow(login, main);
      windows_.MoveWindowKeep(login, kLoginWindowX, kLoginWindowY);
      model_.SetCurrentWindow(nullptr);
      util::LogInfo("launch: login window %ld held in the main window", static_cast<long>(HandleValue(login)));
      while (Found(windows_.FindWindowByClassTitle(main, nullptr, kLoginWindowClass, kWeChatTitle))) {
        if (!monitor_.Wait(t.embeddedPollMs)) return;
      }
      util::LogInfo("launch: login window %ld has gone", static_cast<long>(HandleValue(login)));
    }
  }
  if (monitor_.Stopped()) return;

  const int tabCount = static_cast<int>(model_.Snapshot().tabs.size());
  model_.SetTabSelected(tabCount, false);
  model_.SetAllTabsEnabled(true);
  Render();
}

}  // namespace host
