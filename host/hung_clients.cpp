#include "host/hung_clients.h"

#include <set>

#include "host/host_state.h"

namespace host {

namespace {
// Client threads whose input we detached; only the monitor thread touches this.
std::set<DWORD>& DetachedThreads() {
  static std::set<DWORD> threads;
  return threads;
}
}  // namespace

void KeepInputFromHungClients(const std::vector<HWND>& clientWindows) {
  const DWORD uiThread = GetWindowThreadProcessId(MainWindowHandle(), nullptr);
  if (uiThread == 0) return;
  std::set<DWORD>& detached = DetachedThreads();
  std::set<DWORD> present;
  for (HWND w : clientWindows) {
    const DWORD thread = GetWindowThreadProcessId(w, nullptr);
    if (thread == 0 || thread == uiThread) continue;
    present.insert(thread);
    const bool hung = IsHungAppWindow(w) != FALSE;
    const bool isDetached = detached.count(thread) != 0;
    if (hung && !isDetached) {
      AttachThreadInput(uiThread, thread, FALSE);
      detached.insert(thread);
    } else if (!hung && isDetached) {
      // Answering again: give it back the shared input a hosted window normally has.
      AttachThreadInput(uiThread, thread, TRUE);
      detached.erase(thread);
    }
  }
  // Threads of clients that have gone need nothing more.
  for (auto it = detached.begin(); it != detached.end();) {
    it = present.count(*it) ? std::next(it) : detached.erase(it);
  }
}

}  // namespace host
