#pragma once
// Word from the system that a client window worth a cycle has appeared: a top-level window of
// the client's main or alert class, titled as the client titles them, created or shown.
// The cycle's poll stays the fallback; this only lets the next cycle start at once.
#include <windows.h>

#include <functional>

#include "util/text.h"

namespace host {

struct WindowEventFacts {
  DWORD event = 0;
  LONG object = 0;  // OBJID_WINDOW for the window itself
  LONG child = 0;   // CHILDID_SELF for the window itself
  bool topLevel = false;
  Text className;
  Text title;
};

// Whether the event tells of a client main window or alert window appearing at top level.
bool IsClientWindowAppearing(const WindowEventFacts& facts);

// An out-of-context WinEvent hook for creation and showing in other processes. Its procedure
// runs on the thread that started it, from that thread's message loop, so start it on a
// thread that keeps handling messages. One at a time per process.
class ClientWindowEvents {
 public:
  ClientWindowEvents() = default;
  ~ClientWindowEvents();  // unhooks (on the thread that started it, as the system requires)
  ClientWindowEvents(const ClientWindowEvents&) = delete;
  ClientWindowEvents& operator=(const ClientWindowEvents&) = delete;

  // False (and logged) when the hook could not be set or another watch is on.
  bool Start(std::function<void()> onAppearing);
  bool Started() const { return hook_ != nullptr; }

 private:
  static void CALLBACK OnWinEvent(HWINEVENTHOOK hook, DWORD event, HWND window, LONG object, LONG child,
                                  DWORD thread, DWORD time) noexcept;
  HWINEVENTHOOK hook_ = nullptr;
  std::function<void()> onAppearing_;
};

}  // namespace host
