// The instance host's only contact with foreign windows and processes: each operation is
// one or two platform calls with fixed arguments. A failed call is logged with its error.
#include "host/system_foreign_windows.h"

#include <psapi.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "host/avatar.h"
#include "host/client_windows.h"
#include "util/delay.h"
#include "util/files.h"
#include "util/log.h"
#include "util/process.h"
#include "util/unique_resource.h"

namespace host {
namespace {

constexpr DWORD kInputIdleWaitMs = 1000;
constexpr DWORD kExePathBufferBytes = 1024;

const char* OptionalText(const Text& text) { return text.empty() ? nullptr : text.c_str(); }

Text WindowTitle(HWND window) {
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return Text();
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, buffer.data(), length + 1);
  if (copied <= 0) return Text();
  const auto* first = reinterpret_cast<const std::uint8_t*>(buffer.data());
  Bytes utf16(first, first + static_cast<std::size_t>(copied) * sizeof(wchar_t));
  return util::Utf16ToGbk(utf16);
}

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM list) noexcept {
  try {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  } catch (...) {
    // Out of memory: the windows collected so far are still searched.
    util::LogCaughtException("CollectTopLevel");
  }
  return TRUE;  // the enumeration always runs to the end
}

}  // namespace

struct SystemForeignWindows::EnableQueue {
  std::mutex lock;
  std::condition_variable wake;
  std::map<HWND, bool> wanted;  // window -> latest state asked for, not yet applied
  HWND applying = nullptr;      // the window whose EnableWindow call is under way
  bool helperRunning = false;
  bool stopping = false;
  DWORD idleMs = 0;
};

namespace {
void RunEnabler(const std::shared_ptr<SystemForeignWindows::EnableQueue>& queue) noexcept {
  try {
    std::unique_lock<std::mutex> lock(queue->lock);
    for (;;) {
      const bool woken = queue->wake.wait_for(lock, std::chrono::milliseconds(queue->idleMs),
                                              [&] { return queue->stopping || !queue->wanted.empty(); });
      // Decided under the lock, so a request made after this sees the helper gone and starts one.
      if (queue->stopping || !woken) break;
      const auto next = queue->wanted.begin();
      const HWND window = next->first;
      const bool enable = next->second;
      queue->wanted.erase(next);
      queue->applying = window;
      lock.unlock();
      // Never hold the lock while the client is called: the guard may ask again meanwhile.
      if (IsWindow(window)) EnableWindow(window, enable ? TRUE : FALSE);
      lock.lock();
      queue->applying = nullptr;
    }
    queue->helperRunning = false;
  } catch (...) {
    util::LogCaughtException("the enabling helper");
    std::lock_guard<std::mutex> guard(queue->lock);
    queue->helperRunning = false;
  }
}
}  // namespace

SystemForeignWindows::SystemForeignWindows(DWORD enablerIdleMs) : enableQueue_(std::make_shared<EnableQueue>()) {
  enableQueue_->idleMs = enablerIdleMs;
}

SystemForeignWindows::~SystemForeignWindows() {
  {
    std::lock_guard<std::mutex> guard(enableQueue_->lock);
    enableQueue_->stopping = true;
  }
  enableQueue_->wake.notify_all();
}

HWND SystemForeignWindows::FindWindowByClassTitle(HWND parent, HWND after, const Text& className,
                                                  const Text& title) {
  return FindWindowExA(parent, after, OptionalText(className), OptionalText(title));
}

bool SystemForeignWindows::HasChild(HWND window) {
  return FindWindowByClassTitle(window, nullptr, Text(), Text()) != nullptr;
}

Text SystemForeignWindows::GetWindowExePath(HWND window) {
  DWORD processId = 0;
  if (GetWindowThreadProcessId(window, &processId) == 0) return Text();
  util::UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
  if (!process) {
    util::LogLastError("OpenProcess");
    return Text();
  }
  char buffer[kExePathBufferBytes] = {};
  const DWORD length = GetModuleFileNameExA(process.get(), nullptr, buffer, sizeof buffer);
  if (length == 0) {
    util::LogLastError("GetModuleFileNameExA");
    return Text();
  }
  return util::Trim(Text(buffer, length < sizeof buffer ? length : sizeof buffer - 1));
}

HWND SystemForeignWindows::SetParentWindow(HWND child, HWND newParent) {
  HWND previous = SetParent(child, newParent);
  if (previous == nullptr) util::LogLastError("SetParent");
  return previous;
}

bool SystemForeignWindows::MoveWindowKeep(HWND window, int x, int y, int width, int height) {
  RECT rect = {};
  if (!GetWindowRect(window, &rect)) util::LogLastError("GetWindowRect");
  if (width < 0) width = rect.right - rect.left;
  if (height < 0) height = rect.bottom - rect.top;
  if (MoveWindow(window, x, y, width, height, TRUE)) return true;
  util::LogLastError("MoveWindow");
  return false;
}

bool SystemForeignWindows::MoveWindowAsync(HWND window, int x, int y, int width, int height) {
  if (width < 0 || height < 0) {
    RECT rect = {};
    if (!GetWindowRect(window, &rect)) {
      util::LogLastError("GetWindowRect");
      return false;
    }
    if (width < 0) width = rect.right - rect.left;
    if (height < 0) height = rect.bottom - rect.top;
  }
  // SWP_ASYNCWINDOWPOS posts the change to the window's own thread instead of waiting
  // for it; otherwise the same values as MoveWindow with repaint.
  if (SetWindowPos(window, nullptr, x, y, width, height,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS)) {
    return true;
  }
  util::LogLastError("SetWindowPos");
  return false;
}

void SystemForeignWindows::EnableWindowAsync(HWND window, bool enable) {
  EnableQueue& queue = *enableQueue_;
  std::lock_guard<std::mutex> guard(queue.lock);
  // While a change is queued or being applied the window's state says nothing yet: the
  // latest wish is queued and applied after it.
  if (queue.applying != window && queue.wanted.count(window) == 0) {
    // Reading the enabled state asks nothing of the client.
    if ((IsWindowEnabled(window) != FALSE) == enable) return;
  }
  queue.wanted[window] = enable;
  if (queue.helperRunning) {
    queue.wake.notify_one();
    return;
  }
  try {
    std::thread([shared = enableQueue_] { RunEnabler(shared); }).detach();
    queue.helperRunning = true;
  } catch (...) {
    // The wish stays queued; the next request tries to start the helper again.
    util::LogCaughtException("starting the enabling helper");
  }
}

void SystemForeignWindows::EnableWindowNow(HWND window, bool enable) {
  EnableWindow(window, enable ? TRUE : FALSE);
}

void SystemForeignWindows::ShowWindowNormal(HWND window) { ShowWindow(window, SW_SHOWNORMAL); }

void SystemForeignWindows::ShowWindowNoActivateAsync(HWND window) {
  if (!ShowWindowAsync(window, SW_SHOWNA)) util::LogLastError("ShowWindowAsync");
}

bool SystemForeignWindows::IsVisible(HWND window) { return IsWindowVisible(window) != FALSE; }
bool SystemForeignWindows::Exists(HWND window) { return IsWindow(window) != FALSE; }
bool SystemForeignWindows::IsEnabled(HWND window) { return IsWindowEnabled(window) != FALSE; }
HWND SystemForeignWindows::ParentOf(HWND window) { return GetAncestor(window, GA_PARENT); }

HWND SystemForeignWindows::WindowUnderCursor() {
  POINT point = {};
  if (!GetCursorPos(&point)) {
    util::LogLastError("GetCursorPos");
    return nullptr;
  }
  return WindowFromPoint(point);
}

Offset SystemForeignWindows::CursorOffsetInWindow(HWND window) {
  POINT point = {};
  RECT rect = {};
  GetCursorPos(&point);
  GetWindowRect(window, &rect);
  return Offset{point.x - rect.left, point.y - rect.top};
}

DWORD SystemForeignWindows::ProcessIdOfWindow(HWND window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  return processId;
}

DWORD SystemForeignWindows::ThreadIdOfWindow(HWND window) {
  return GetWindowThreadProcessId(window, nullptr);
}

bool SystemForeignWindows::EndProcess(DWORD processId) {
  if (processId == 0) return false;
  util::UniqueHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, processId));
  if (!process) {
    util::LogLastError("OpenProcess(PROCESS_TERMINATE)");
    return false;
  }
  // Does not wait for the process to end.
  if (TerminateProcess(process.get(), 0)) return true;
  util::LogLastError("TerminateProcess");
  return false;
}

bool SystemForeignWindows::ProgramExists(const Text& path) { return util::FileExists(path); }

bool SystemForeignWindows::RunProgram(const Text& commandLine) {
  // The text is the client's path. Named as the application and quoted on the command line:
  // left to CreateProcess's own splitting, "C:\Program Files (x86)\..." would first run a
  // "C:\Program.exe" if one existed. A client that never becomes input-idle costs one second.
  return util::StartProgram(commandLine, "\"" + commandLine + "\"", kInputIdleWaitMs);
}

HWND SystemForeignWindows::FindWindowByHandleOrTitle(const Text& text) {
  // An empty text holds no number and would be "contained" in every title.
  if (text.empty()) return nullptr;
  HWND candidate = HandleFromValue(util::TextToInteger(text));
  // GetWindowInfo succeeds exactly for a valid handle; IsWindow asks that alone, where
  // GetWindowInfo gathers rectangles and styles too (several server calls under Wine, for
  // every hosted window ten times a second).
  if (candidate != nullptr && IsWindow(candidate)) return candidate;

  // Snapshot first: the callback stays trivial, and titles are read (and messages
  // handled) outside the enumeration.
  std::vector<HWND> windows;
  EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&windows));
  for (std::size_t i = 0; i < windows.size(); ++i) {
    if (i > 0) util::ProcessPendingMessages();
    if (util::FindText(WindowTitle(windows[i]), text) != Text::npos) return windows[i];
  }
  return nullptr;
}

HWND SystemForeignWindows::ActivateWindow(HWND window) {
  const DWORD current = GetCurrentThreadId();
  const DWORD target = GetWindowThreadProcessId(window, nullptr);
  AttachThreadInput(target, current, TRUE);
  HWND result = SetActiveWindow(window);
  AttachThreadInput(target, current, FALSE);
  return result;
}

bool SystemForeignWindows::IsHung(HWND window) { return IsHungAppWindow(window) != FALSE; }

bool SystemForeignWindows::Answers(HWND window, DWORD timeoutMs) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_NORMAL, timeoutMs, &result) != 0;
}

bool SystemForeignWindows::AttachInput(DWORD fromThread, DWORD toThread, bool attach) {
  if (AttachThreadInput(fromThread, toThread, attach ? TRUE : FALSE)) return true;
  util::LogLastError("AttachThreadInput");
  return false;
}

Bytes SystemForeignWindows::CaptureAvatar(HWND window) { return host::CaptureAvatar(window); }

void SystemForeignWindows::TrimWorkingSet() {
  // Minimum and maximum both (SIZE_T)-1: trim the working set as far as possible.
  if (!SetProcessWorkingSetSize(GetCurrentProcess(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1))) {
    util::LogLastError("SetProcessWorkingSetSize");
  }
}

bool SystemForeignWindows::IsPlacedAt(HWND window, int x, int y, int width, int height) {
  RECT r = {};
  if (!GetWindowRect(window, &r)) return false;
  const HWND parent = GetAncestor(window, GA_PARENT);
  if (parent != nullptr && parent != GetDesktopWindow()) {
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  }
  return r.left == x && r.top == y && r.right - r.left == width && r.bottom - r.top == height;
}

bool SystemForeignWindows::WatchClientWindows(std::function<void()> onAppearing) {
  if (clientWindowEvents_) return false;
  auto events = std::make_unique<ClientWindowEvents>();
  if (!events->Start(std::move(onAppearing))) return false;
  clientWindowEvents_ = std::move(events);
  return true;
}

}  // namespace host
