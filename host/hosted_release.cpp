// Hand-back of hosted client windows before the program ends its own process.
// Ending our process would otherwise destroy those windows under their running clients.
#include <windows.h>

#include <vector>

#include "host/instance_host.h"
#include "host/registry.h"
#include "host/window_ops.h"

namespace host {
namespace {

void ReturnToDesktop(HWND window) {
  if (!IsWindow(window)) return;  // its client has already gone
  SetParentWindow(window, nullptr);
  EnableWindow(window, TRUE);
  // Asynchronous: a hung client must not stall our way out.
  ShowWindowAsync(window, SW_SHOWNA);
}

}  // namespace

void ReleaseHostedWindows() {
  // No cycle may take a released window in again before our process is gone.
  StopAdoption();
  std::vector<HWND> windows = Registry().HostedWindows();
  if (HWND login = Registry().loginWindow.load(); login) windows.push_back(login);
  for (HWND window : windows) ReturnToDesktop(window);
}

}  // namespace host
