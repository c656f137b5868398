#include "host/foreign_calls.h"

#include <cstdint>
#include <map>
#include <mutex>

#include "util/worker_thread.h"

namespace host {

void MoveWindowAsync(HWND window, int x, int y, int width, int height) {
  if (width < 0 || height < 0) {
    RECT r{};
    if (!GetWindowRect(window, &r)) return;
    if (width < 0) width = r.right - r.left;
    if (height < 0) height = r.bottom - r.top;
  }
  // Same values as MoveWindow(..., repaint true), without waiting for the window's thread.
  SetWindowPos(window, nullptr, x, y, width, height,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
}

namespace {

struct EnableState {
  std::mutex lock;
  std::map<HWND, bool> inFlight;  // window -> latest state asked for while an applier runs
};

EnableState& Enables() {
  static EnableState s;
  return s;
}

void ApplyEnable(HWND window) {
  EnableState& s = Enables();
  for (;;) {
    bool wanted;
    {
      std::lock_guard<std::mutex> l(s.lock);
      wanted = s.inFlight[window];
    }
    EnableWindow(window, wanted ? TRUE : FALSE);  // may wait for the client
    std::lock_guard<std::mutex> l(s.lock);
    auto it = s.inFlight.find(window);
    if (it == s.inFlight.end() || it->second == wanted || !IsWindow(window)) {
      s.inFlight.erase(window);
      return;
    }
  }
}

}  // namespace

void EnableWindowAsync(HWND window, bool enable) {
  EnableState& s = Enables();
  std::lock_guard<std::mutex> l(s.lock);
  auto it = s.inFlight.find(window);
  if (it != s.inFlight.end()) {
    it->second = enable;  // the running applier picks it up
    return;
  }
  if ((IsWindowEnabled(window) != FALSE) == enable) return;
  s.inFlight[window] = enable;
  if (!util::StartWorkerThread([window] { ApplyEnable(window); }, "enable")) {
    s.inFlight.erase(window);
  }
}

}  // namespace host
