#pragma once
// Word from the system that a client window worth a cycle has appeared: a top-level window of
// the client's main or alert class, titled as the client titles them, shown (or created
// visible). The cycle's poll stays the fallback; this only lets the next cycle start at once.
#include <windows.h>

#include <functional>
#include <vector>

#include "util/text.h"

namespace host {

struct WindowEventFacts {
  DWORD event = 0;
  LONG object = 0;  // OBJID_WINDOW for the window itself
  LONG child = 0;   // CHILDID_SELF for the window itself
  bool topLevel = false;
  bool visible = false;
  Text className;
  Text title;
};

enum class ClientWindowEvent {
  kNone,           // not a client window appearing
  kAppeared,       // wake the monitor
  kCreatedHidden,  // a client window not shown yet: watch until it is
};
ClientWindowEvent ClassifyWindowEvent(const WindowEventFacts& facts);

// An out-of-context WinEvent hook for creation and showing in other processes. Its procedure
// runs on the thread that started it, from that thread's message loop, so start it on a
// thread that keeps handling messages. One at a time per process.
// Wine tells other processes only of creation, not of showing: a client window created
// hidden is looked at every kHiddenCheckMs until it shows, for at most kHiddenWatchMs (after
// that the poll finds it, as it would without any word).
class ClientWindowEvents {
 public:
  static constexpr UINT kHiddenCheckMs = 10;
  static constexpr DWORD kHiddenWatchMs = 3000;

  ClientWindowEvents() = default;
  ~ClientWindowEvents();  // unhooks (on the thread that started it, as the system requires)
  ClientWindowEvents(const ClientWindowEvents&) = delete;
  ClientWindowEvents& operator=(const ClientWindowEvents&) = delete;

  // False (and logged) when the hook could not be set or another watch is on.
  bool Start(std::function<void()> onAppearing);
  bool Started() const { return hook_ != nullptr; }

 private:
  struct HiddenWindow {
    HWND window;
    DWORD since;
  };
  static void CALLBACK OnWinEvent(HWINEVENTHOOK hook, DWORD event, HWND window, LONG object, LONG child,
                                  DWORD thread, DWORD time) noexcept;
  static void CALLBACK OnHiddenCheck(HWND, UINT, UINT_PTR, DWORD) noexcept;
  void Watch(HWND window);
  void CheckHidden();

  HWINEVENTHOOK hook_ = nullptr;
  std::function<void()> onAppearing_;
  std::vector<HiddenWindow> hidden_;  // the hook's thread only
  UINT_PTR timer_ = 0;
};

}  // namespace host
