#include "host/client_window_events.h"

#include <atomic>

#include "host/client_windows.h"
#include "util/log.h"

namespace host {
namespace {
// The procedure gets no context of its own; the one watch of the process is found here.
std::atomic<ClientWindowEvents*> activeWatch{nullptr};
// Set by the watch that holds activeWatch, before its hook exists; the procedure runs on that
// watch's own thread.
std::function<void()>* activeCallback = nullptr;

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

bool IsClientWindowAppearing(const WindowEventFacts& facts) {
  if (facts.object != OBJID_WINDOW || facts.child != CHILDID_SELF || !facts.topLevel) return false;
  // Creation counts even for a window created hidden: the cycle takes hidden main windows
  // too (it shows them), and Wine tells other processes of creation only, not of showing.
  if (facts.event != EVENT_OBJECT_CREATE && facts.event != EVENT_OBJECT_SHOW) return false;
  if (facts.className != kMainWindowClass && facts.className != kAlertWindowClass) return false;
  return facts.title == kWeChatTitle;
}

ClientWindowEvents::~ClientWindowEvents() {
  if (hook_ == nullptr) return;
  if (!UnhookWinEvent(hook_)) util::LogLastError("UnhookWinEvent");
  ClientWindowEvents* self = this;
  activeWatch.compare_exchange_strong(self, nullptr);
}

bool ClientWindowEvents::Start(std::function<void()> onAppearing) {
  if (hook_ != nullptr || activeWatch.load() != nullptr) {
    util::LogWarning("client window events: a watch is already on");
    return false;
  }
  ClientWindowEvents* none = nullptr;
  if (!activeWatch.compare_exchange_strong(none, this)) return false;
  onAppearing_ = std::move(onAppearing);
  activeCallback = &onAppearing_;
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

void CALLBACK ClientWindowEvents::OnWinEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child,
                                             DWORD, DWORD) noexcept {
  try {
    if (activeWatch.load() == nullptr || window == nullptr) return;
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
    if (IsClientWindowAppearing(facts) && activeCallback && *activeCallback) (*activeCallback)();
  } catch (...) {
    util::LogCaughtException("client window event");
  }
}

}  // namespace host
