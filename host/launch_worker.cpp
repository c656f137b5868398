// The launch worker: finds or starts the client, holds its login window inside MainWindow
// while the user logs in, and gives the tabs back when the login window has gone.
#include <windows.h>

#include "app/main_form.h"
#include "host/host_bookkeeping.h"
#include "host/host_state.h"
#include "host/instance_host.h"
#include "host/registry.h"
#include "host/window_ops.h"
#include "util/delay.h"

namespace host {

namespace {

constexpr int kFirstWaitMs = 2000;
constexpr int kLoginPollMs = 200;
constexpr int kEmbeddedPollMs = 500;
// A client that logs in by itself never shows a login window; the wait gives up after this.
constexpr DWORD kLoginWaitLimitMs = 60000;

HWND FindTopLevelLoginWindow() {
  return FindWindowByClassTitle(nullptr, nullptr, kLoginWindowClass, kWeChatTitle);
}

void FirstUseNoticeAndEnd() {
  MessageBoxA(MainWindowHandle(), "第一次使用，先打开微信登录窗口或微信，再启动多开软件！", "提示信息",
              MB_ICONINFORMATION | MB_TASKMODAL);
  // Ending our process would destroy the client windows we hold under their running
  // processes: hand them back to the desktop first.
  ReleaseHostedWindows();
  EndProcess(GetCurrentProcessId());
}

}  // namespace

void LaunchWorker(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t) {
  InstanceRegistry& reg = Registry();
  const unsigned serialAtStart = adoptionSerial.load();

  reg.loginWindow = FindTopLevelLoginWindow();
  bool launched;
  if (Found(reg.loginWindow.load())) {
    WriteRouteFileIfChanged(GetWindowExePath(reg.loginWindow.load()));
    launched = true;
  } else {
    const Text path = LaunchPath(ReadRouteFile(), kDefaultWeChatPath);
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
      FirstUseNoticeAndEnd();
      return;
    }
    launched = RunProgram(path);
  }

  if (launched) {
    util::Delay(kFirstWaitMs);
    const DWORD waitStart = GetTickCount();
    bool gaveUp = false;
    for (;;) {
      if (reg.loginWindow.load() != nullptr) break;
      // Bounded: a client that logged in by itself was adopted without a login window,
      // or none ever came; either way the tabs are given back.
      if (adoptionSerial.load() != serialAtStart ||
          GetTickCount() - waitStart >= kLoginWaitLimitMs) {
        gaveUp = true;
        break;
      }
      reg.loginWindow = FindTopLevelLoginWindow();
      util::Delay(kLoginPollMs);
    }
    HWND login = reg.loginWindow.load();
    if (!gaveUp && Found(login)) {
      SetParentWindow(login, MainWindowHandle());
      MoveWindowKeep(login, kLoginWindowX, kLoginWindowY);
      reg.currentWindow = nullptr;
      while (Found(FindWindowByClassTitle(MainWindowHandle(), nullptr, kLoginWindowClass,
                                          kWeChatTitle))) {
        util::Delay(kEmbeddedPollMs);
      }
    }
  }

  const std::vector<TabPtr> tabs = reg.Tabs();
  if (!tabs.empty()) tabs.back()->SetBackColour(kTabUnselected);
  for (const TabPtr& tab : tabs) tab->SetEnabled(true);
}

}  // namespace host
