#pragma once
// A stand-in client installed in a fresh folder and started, with its main window.
#include <gtest/gtest.h>

#include <string>

#include "tests/host/test_windows.h"
#include "tests/standin/standin_control.h"
#include "tests/support/test_support.h"

namespace fixtures {

class StandinClient {
 public:
  // Installs the client with the script and starts it; check ok() afterwards.
  explicit StandinClient(const std::string& script) {
    installation_ = standin::Install(dir_.path(), script);
    if (installation_) client_ = standin::Start(installation_);
  }
  bool ok() const { return static_cast<bool>(client_); }
  DWORD pid() const { return client_.pid(); }
  const standin::Installation& installation() const { return installation_; }
  standin::RunningClient& client() { return client_; }

  // Its visible top-level main window, waiting up to timeoutMs; 0 when none showed.
  HWND WaitForMainWindow(DWORD timeoutMs = 10000) {
    HWND found = nullptr;
    support::WaitFor(
        [&] {
          found = standin::FindTopLevelWindow(pid(), standin::kMainWindowClass);
          return found != nullptr && IsWindowVisible(found);
        },
        timeoutMs);
    return found != nullptr && IsWindowVisible(found) ? found : nullptr;
  }

 private:
  support::TempDir dir_;
  standin::Installation installation_;
  standin::RunningClient client_;
};

}  // namespace fixtures
