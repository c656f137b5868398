// The client windows we hold go back to the desktop before the program ends its own process.
// Ending our process would otherwise destroy those windows under their running clients.
#include "host/client_windows.h"
#include "host/instance_host.h"
#include "util/log.h"

namespace host {
void InstanceHost::ReturnToDesktop(HWND window) {
  if (!windows_.Exists(window)) return;  // its client has already gone
  windows_.SetParentWindow(window, nullptr);
  windows_.EnableWindowNow(window, true);
  // Asynchronous: a hung client must not stall our way out.
  windows_.ShowWindowNoActivateAsync(window);
  util::LogInfo("released: window %ld back to the desktop", static_cast<long>(HandleValue(window)));
}

std::shared_ptr<HandBack> InstanceHost::StartHandBack(const HandBackTimings& timings) {
  // No cycle may take a released window in again before our process is gone.
  StopAdoption();
  const HostSnapshot s = model_.Snapshot();
  std::vector<HWND> held = s.hostedWindows;
  // An adoption cut short by the stop may have put its window into a pane already.
  if (s.adoptingWindow != nullptr) held.push_back(s.adoptingWindow);
  if (s.loginWindow != nullptr) held.push_back(s.loginWindow);
  util::LogInfo("hand-back: %u window(s) go back to the desktop", static_cast<unsigned>(held.size()));
  return HandBack::Start(windows_, held, timings);
}

}  // namespace host
