// Hand-back of hosted client windows before the program ends its own process.
// Ending our process would otherwise destroy those windows under their running clients.
#include <atomic>

#include "host/client_windows.h"
#include "host/instance_host.h"
#include "util/log.h"

namespace host {
namespace {
std::atomic<InstanceHost*> firstHost{nullptr};
}  // namespace

void RegisterFirstHost(InstanceHost* created) {
  InstanceHost* none = nullptr;
  firstHost.compare_exchange_strong(none, created);
}

void UnregisterHost(InstanceHost* gone) {
  InstanceHost* expected = gone;
  firstHost.compare_exchange_strong(expected, nullptr);
}

void ReleaseHostedWindows() {
  if (InstanceHost* h = firstHost.load()) h->ReleaseHostedWindows();
}

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
  if (s.loginWindow != nullptr) held.push_back(s.loginWindow);
  for (HWND window : held) ReturnToDesktop(window);
}

}  // namespace host
