// Hand-back of hosted client windows before the program ends its own process.
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

void InstanceHost::ReleaseHostedWindows() {
  // No cycle may take a released window in again before our process is gone.
  StopAdoption();
  const HostSnapshot s = model_.Snapshot();
  std::vector<HWND> held = s.hostedWindows;
  // An adoption cut short by the stop may have put its window into a pane already.
  if (s.adoptingWindow != nullptr) held.push_back(s.adoptingWindow);
  if (s.loginWindow != nullptr) held.push_back(s.loginWindow);
  for (HWND window : held) ReturnToDesktop(window);
}

}  // namespace host
