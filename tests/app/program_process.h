#pragma once
// A running copy of tandrel.exe and its main window.
#include <windows.h>

#include <string>

#include "tests/support/test_support.h"

namespace apptest {

// Ends the process when the test is over, whatever happened.
class ProgramProcess {
 public:
  ~ProgramProcess() { support::EndProcessAndWait(process_); }
  // Started from another directory than its own, as from a shortcut elsewhere.
  bool Start(const std::string& exePath) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    process_ = support::StartProcess("\"" + exePath + "\"", temp);
    return static_cast<bool>(process_);
  }
  bool Running() const { return process_ && WaitForSingleObject(process_.handle.get(), 0) == WAIT_TIMEOUT; }
  // True when the process still runs after the given time (a bounded wait for nothing to happen).
  bool StillRunningAfter(DWORD milliseconds) const {
    return process_ && WaitForSingleObject(process_.handle.get(), milliseconds) == WAIT_TIMEOUT;
  }

  // The visible main window, once start-up has finished. A question box that start-up
  // shows (the desktop-shortcut offer) is answered with Cancel.
  HWND WaitForMainWindow(DWORD milliseconds) {
    support::WaitFor(
        [this] {
          found_ = nullptr;
          if (!Running()) return true;
          EnumWindows(&ProgramProcess::Visit, reinterpret_cast<LPARAM>(this));
          return found_ != nullptr;
        },
        milliseconds, 50);
    return found_;
  }

 private:
  static BOOL CALLBACK Visit(HWND hwnd, LPARAM self) noexcept {
    auto* me = reinterpret_cast<ProgramProcess*>(self);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != me->process_.id || !IsWindowVisible(hwnd)) return TRUE;
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (std::string(cls) == "#32770") {
      PostMessageA(hwnd, WM_COMMAND, IDCANCEL, 0);
      return TRUE;
    }
    char title[64] = {};
    GetWindowTextA(hwnd, title, sizeof title);
    if (std::string(cls) == "TandrelWindow" && std::string(title) == "Tandrel") {
      me->found_ = hwnd;
      return FALSE;
    }
    return TRUE;
  }
  support::Process process_;
  HWND found_ = nullptr;
};

}  // namespace apptest
