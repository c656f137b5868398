#include "host/client_window_events.h"

#include <algorithm>
#include <atomic>

#include "host/client_windows.h"
#include "util/log.h"

namespace host {
namespace {
// The procedures get no context of their own; the one watch of the process is found here.
// Only the thread that started the watch runs them.
std::atomic<ClientWindowEvents*> activeWatch{nullptr};

Text ClassNameOf(HWND window) {
  char name[256] = {};
  const int length = GetClassNameA(window, name, sizeof name);
  return length > 0 ? Text(name, static_cast<size_t>(length)) : Text();
}

// The title as the system keeps it: for another process's window this sends no message,
// so a hung client cannot stall the hook's thread.
Text TitleOf(HWND window) {
  char title[64] = {};
  const int length = GetWindowTextA(window, title, sizeof title);
  return length > 0 ? Text(title, static_cast<size_t>(length)) : Text();
}
}  // namespace

ClientWindowEvent ClassifyWindowEvent(const WindowEventFacts& facts) {
  if (facts.object != OBJID_WINDOW || facts.child != CHILDID_SELF || !facts.topLevel) return ClientWindowEvent::kNone;
  if (facts.event != EVENT_OBJECT_CREATE && facts.event != EVENT_OBJECT_SHOW) return ClientWindowEvent::kNone;
  if (facts.className != kMainWindowClass && facts.className != kAlertWindowClass) return ClientWindowEvent::kNone;
  if (facts.title != kWeChatTitle) return ClientWindowEvent::kNone;
  // Woken at a hidden creation, the cycle would take the window before its client shows it.
  if (!facts.visible) return facts.event == EVENT_OBJECT_CREATE ? ClientWindowEvent::kCreatedHidden : ClientWindowEvent::kNone;
  return ClientWindowEvent::kAppeared;
}

ClientWindowEvents::~ClientWindowEvents() {
  if (hook_ == nullptr) return;
  if (!UnhookWinEvent(hook_)) util::LogLastError("UnhookWinEvent");
  if (timer_ != 0) KillTimer(nullptr, timer_);
  ClientWindowEvents* self = this;
  activeWatch.compare_exchange_strong(self, nullptr);
}

bool ClientWindowEvents::Start(std::function<void()> onAppearing) {
  ClientWindowEvents* none = nullptr;
  if (hook_ != nullptr || !activeWatch.compare_exchange_strong(none, this)) {
    util::LogWarning("client window events: a watch is already on");
    return false;
  }
  onAppearing_ = std::move(onAppearing);
  // Creation, destruction and showing are three neighbouring event numbers; destruction is
  // filtered out in the procedure.
  hook_ = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_SHOW, nullptr, OnWinEvent, 0, 0,
                          WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
  if (hook_ == nullptr) {
    util::LogLastError("SetWinEventHook(client windows)");
    activeWatch.store(nullptr);
    return false;
  }
  return true;
}

void ClientWindowEvents::Watch(HWND window) {
  if (std::none_of(hidden_.begin(), hidden_.end(), [&](const HiddenWindow& h) { return h.window == window; })) {
    hidden_.push_back({window, GetTickCount()});
  }
  if (timer_ == 0) {
    timer_ = SetTimer(nullptr, 0, kHiddenCheckMs, OnHiddenCheck);
    if (timer_ == 0) util::LogLastError("SetTimer(client window shown)");
  }
}

void ClientWindowEvents::CheckHidden() {
  bool shown = false;
  const DWORD now = GetTickCount();
  hidden_.erase(std::remove_if(hidden_.begin(), hidden_.end(),
                               [&](const HiddenWindow& h) {
                                 if (!IsWindow(h.window)) return true;
                                 if (IsWindowVisible(h.window)) {
                                   shown = true;
                                   return true;
                                 }
                                 return now - h.since >= kHiddenWatchMs;
                               }),
                hidden_.end());
  if (hidden_.empty() && timer_ != 0) {
    KillTimer(nullptr, timer_);
    timer_ = 0;
  }
  if (shown && onAppearing_) onAppearing_();
}

void CALLBACK ClientWindowEvents::OnHiddenCheck(HWND, UINT, UINT_PTR, DWORD) noexcept {
  try {
    if (ClientWindowEvents* watch = activeWatch.load()) watch->CheckHidden();
  } catch (...) {
    util::LogCaughtException("client window shown check");
  }
}

void CALLBACK ClientWindowEvents::OnWinEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child,
                                             DWORD, DWORD) noexcept {
  try {
    ClientWindowEvents* watch = activeWatch.load();
    if (watch == nullptr || window == nullptr) return;
    if (event == EVENT_OBJECT_DESTROY || object != OBJID_WINDOW || child != CHILDID_SELF) return;
    WindowEventFacts facts;
    facts.event = event;
    facts.object = object;
    facts.child = child;
    facts.topLevel = GetAncestor(window, GA_PARENT) == GetDesktopWindow();
    if (!facts.topLevel) return;
    facts.className = ClassNameOf(window);
    if (facts.className != kMainWindowClass && facts.className != kAlertWindowClass) return;
    facts.title = TitleOf(window);
    facts.visible = IsWindowVisible(window) != FALSE;
    switch (ClassifyWindowEvent(facts)) {
      case ClientWindowEvent::kAppeared:
        if (watch->onAppearing_) watch->onAppearing_();
        break;
      case ClientWindowEvent::kCreatedHidden:
        watch->Watch(window);
        break;
      case ClientWindowEvent::kNone:
        break;
    }
  } catch (...) {
    util::LogCaughtException("client window event");
  }
}

}  // namespace host
