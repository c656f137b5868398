// The user-interface thread's hidden message window: tasks posted or sent from other
// threads, and the timers' ticks.
#include <atomic>
#include <map>
#include <new>

#include "ui/control_data.h"
#include "util/log.h"

namespace ui {
namespace {

constexpr UINT kRunWork = WM_APP + 1;    // sent: lParam points to the caller's work
constexpr UINT kRunPosted = WM_APP + 2;  // posted: lParam owns a heap copy of the task
constexpr char kCallWindowClass[] = "TandrelUiCalls";

std::atomic<DWORD> uiThreadId{0};
std::atomic<HWND> callWindow{nullptr};

// Timers by id; touched on the user-interface thread only.
std::map<UINT_PTR, Timer*>& Timers() {
  static std::map<UINT_PTR, Timer*> timers;
  return timers;
}

LRESULT CALLBACK CallWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  switch (message) {
    case kRunWork: {
      auto* work = reinterpret_cast<const std::function<void()>*>(lParam);
      RaiseEvent([work] { (*work)(); });
      return 0;
    }
    case kRunPosted: {
      std::unique_ptr<std::function<void()>> task(reinterpret_cast<std::function<void()>*>(lParam));
      RaiseEvent([&task] { (*task)(); });
      return 0;
    }
    case WM_TIMER: {
      auto found = Timers().find(wParam);
      if (found == Timers().end()) return 0;
      std::function<void()> tick = found->second->onTick;  // a tick may destroy its timer
      if (tick) RaiseEvent(tick);
      return 0;
    }
    case WM_DESTROY:
      callWindow = nullptr;
      return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

void InitialiseUiThread() {
  if (uiThreadId) return;
  WNDCLASSA wc{};
  wc.lpfnWndProc = CallWindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kCallWindowClass;
  RegisterClassA(&wc);
  HWND hwnd = CreateWindowExA(0, kCallWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  callWindow = hwnd;
  uiThreadId = GetCurrentThreadId();
}

bool OnUiThread() { return uiThreadId == 0 || uiThreadId == GetCurrentThreadId(); }

void CallOnUiThread(const std::function<void()>& work) {
  if (!work) return;
  if (OnUiThread()) {
    work();
    return;
  }
  HWND hwnd = callWindow;
  // SendMessage waits for the work and runs it inside the user-interface thread's
  // message handling; a window that is gone takes nothing.
  if (hwnd && IsWindow(hwnd)) SendMessageA(hwnd, kRunWork, 0, reinterpret_cast<LPARAM>(&work));
}

bool PostTask(std::function<void()> task) {
  if (!task) return false;
  HWND hwnd = callWindow;
  if (!hwnd) {
    if (uiThreadId == 0) {  // no user-interface thread yet: run it here, as CallOnUiThread does
      RaiseEvent(task);
      return true;
    }
    util::LogWarning("a task for the user-interface thread was dropped: its message window is gone");
    return false;
  }
  auto* owned = new (std::nothrow) std::function<void()>(std::move(task));
  if (!owned) {
    util::LogError("no memory to post a task to the user-interface thread");
    return false;
  }
  if (!PostMessageA(hwnd, kRunPosted, 0, reinterpret_cast<LPARAM>(owned))) {
    util::LogLastError("PostMessage of a user-interface task");
    delete owned;  // never posted: freed here, not leaked
    return false;
  }
  return true;
}

// --- Timer -------------------------------------------------------------------

struct Timer::State {
  UINT_PTR id = 0;
  std::atomic<int> interval{0};
};

Timer::Timer() : state_(std::make_unique<State>()) {
  static std::atomic<UINT_PTR> nextId{1};
  state_->id = nextId++;
}

Timer::~Timer() {
  UINT_PTR id = state_->id;
  CallOnUiThread([id] {
    HWND hwnd = callWindow;
    if (hwnd) KillTimer(hwnd, id);
    Timers().erase(id);
  });
}

void Timer::SetInterval(int milliseconds) {
  if (milliseconds < 0) milliseconds = 0;
  state_->interval = milliseconds;
  CallOnUiThread([this, milliseconds] {
    HWND hwnd = callWindow;
    if (!hwnd) return;
    if (milliseconds == 0) {
      KillTimer(hwnd, state_->id);
      Timers().erase(state_->id);
    } else {
      Timers()[state_->id] = this;
      SetTimer(hwnd, state_->id, static_cast<UINT>(milliseconds), nullptr);
    }
  });
}

int Timer::Interval() const { return state_->interval; }

}  // namespace ui
