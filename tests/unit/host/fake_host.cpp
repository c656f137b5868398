#include "tests/unit/host/fake_host.h"

#include <cstdint>

#include "host/client_windows.h"

namespace fakes {

std::string H(HWND window) { return std::to_string(host::HandleValue(window)); }

HWND FakeForeignWindows::Add(const FakeWindow& window) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  HWND handle = host::HandleFromValue(0x1000 + 4 * static_cast<long long>(order_.size() + 1));
  order_.push_back(handle);
  windows_[handle] = window;
  return handle;
}

HWND FakeForeignWindows::AddClientMainWindow(DWORD pid, bool visible) {
  FakeWindow w;
  w.className = host::kMainWindowClass;
  w.title = host::kWeChatTitle;
  w.visible = visible;
  w.pid = pid;
  w.thread = pid * 10;
  w.exePath = "C:\\clients\\" + std::to_string(pid) + "\\WeChat.exe";
  return Add(w);
}

FakeWindow FakeForeignWindows::Window(HWND window) const {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  auto it = windows_.find(window);
  if (it != windows_.end()) return it->second;
  FakeWindow none;
  none.exists = false;
  return none;
}

void FakeForeignWindows::Change(HWND window, const std::function<void(FakeWindow&)>& change) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  auto it = windows_.find(window);
  if (it != windows_.end()) change(it->second);
}

void FakeForeignWindows::EndAll(DWORD pid) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  for (auto& entry : windows_) {
    if (entry.second.pid == pid) entry.second.exists = false;
  }
}

std::vector<std::string> FakeForeignWindows::Calls() const {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return calls_;
}

bool FakeForeignWindows::Called(const std::string& call) const {
  for (const std::string& c : Calls()) {
    if (c == call) return true;
  }
  return false;
}

void FakeForeignWindows::ClearCalls() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  calls_.clear();
}

void FakeForeignWindows::Record(const std::string& call) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  calls_.push_back(call);
}

HWND FakeForeignWindows::FindWindowByClassTitle(HWND parent, HWND after, const Text& className, const Text& title) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  bool passed = after == nullptr;
  for (HWND h : order_) {
    if (!passed) {
      passed = h == after;
      continue;
    }
    const FakeWindow& w = windows_[h];
    if (!w.exists || w.parent != parent) continue;
    if (!className.empty() && w.className != className) continue;
    if (!title.empty() && w.title != title) continue;
    return h;
  }
  return nullptr;
}

bool FakeForeignWindows::HasChild(HWND window) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  for (const auto& entry : windows_) {
    if (entry.second.exists && entry.second.parent == window) return true;
  }
  return false;
}

Text FakeForeignWindows::GetWindowExePath(HWND window) {
  const FakeWindow w = Window(window);
  return w.exists ? w.exePath : Text();
}

HWND FakeForeignWindows::SetParentWindow(HWND child, HWND newParent) {
  Record("SetParent " + H(child) + " " + H(newParent));
  HWND previous = nullptr;
  Change(child, [&](FakeWindow& w) {
    previous = w.parent;
    w.parent = newParent;
  });
  return previous;
}

bool FakeForeignWindows::MoveWindowKeep(HWND window, int x, int y, int width, int height) {
  Record("Move " + H(window) + " " + std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(width) +
         "x" + std::to_string(height));
  return true;
}

bool FakeForeignWindows::IsPlacedAt(HWND window, int, int, int, int) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return placedInPane.count(window) != 0;
}

bool FakeForeignWindows::MoveWindowAsync(HWND window, int x, int y, int width, int height) {
  Record("MoveAsync " + H(window) + " " + std::to_string(x) + "," + std::to_string(y) + " " +
         std::to_string(width) + "x" + std::to_string(height));
  return true;
}

void FakeForeignWindows::EnableWindowAsync(HWND window, bool enable) {
  Record(std::string(enable ? "Enable " : "Disable ") + H(window));
  Change(window, [&](FakeWindow& w) { w.enabled = enable; });
}

void FakeForeignWindows::EnableWindowNow(HWND window, bool enable) { EnableWindowAsync(window, enable); }

void FakeForeignWindows::ShowWindowNormal(HWND window) {
  Record("Show " + H(window));
  Change(window, [](FakeWindow& w) { w.visible = !w.staysHidden; });
}

void FakeForeignWindows::ShowWindowNoActivateAsync(HWND window) { ShowWindowNormal(window); }

bool FakeForeignWindows::IsVisible(HWND window) {
  const FakeWindow w = Window(window);
  return w.exists && w.visible;
}

bool FakeForeignWindows::Exists(HWND window) { return Window(window).exists; }
bool FakeForeignWindows::IsEnabled(HWND window) { return Window(window).enabled; }
HWND FakeForeignWindows::ParentOf(HWND window) { return Window(window).parent; }
HWND FakeForeignWindows::WindowUnderCursor() { return underCursor; }
host::Offset FakeForeignWindows::CursorOffsetInWindow(HWND) { return cursorOffset; }

DWORD FakeForeignWindows::ProcessIdOfWindow(HWND window) {
  const FakeWindow w = Window(window);
  return w.exists ? w.pid : 0;
}

DWORD FakeForeignWindows::ThreadIdOfWindow(HWND window) {
  const FakeWindow w = Window(window);
  return w.exists ? w.thread : 0;
}

bool FakeForeignWindows::EndProcess(DWORD processId) {
  Record("EndProcess " + std::to_string(processId));
  if (processId == 0) return false;
  EndAll(processId);
  return true;
}

bool FakeForeignWindows::ProgramExists(const Text& path) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return programs.count(path) != 0;
}

bool FakeForeignWindows::RunProgram(const Text& commandLine) {
  Record("Run " + commandLine);
  return ProgramExists(commandLine);
}

HWND FakeForeignWindows::FindWindowByHandleOrTitle(const Text& text) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  HWND candidate = host::HandleFromValue(util::TextToInteger(text));
  if (Window(candidate).exists) return candidate;
  for (HWND h : order_) {
    if (windows_[h].exists && windows_[h].title.find(text) != Text::npos) return h;
  }
  return nullptr;
}

HWND FakeForeignWindows::ActivateWindow(HWND window) {
  Record("Activate " + H(window));
  return window;
}

bool FakeForeignWindows::IsHung(HWND window) { return Window(window).hung; }

bool FakeForeignWindows::Answers(HWND window, DWORD) {
  const FakeWindow w = Window(window);
  return w.exists && !w.hung;
}

bool FakeForeignWindows::AttachInput(DWORD fromThread, DWORD toThread, bool attach) {
  Record(std::string(attach ? "Attach " : "Detach ") + std::to_string(fromThread) + " " + std::to_string(toThread));
  return true;
}

Bytes FakeForeignWindows::CaptureAvatar(HWND) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return avatar;
}

void FakeForeignWindows::TrimWorkingSet() { Record("Trim"); }

bool FakeForeignWindows::WatchClientWindows(std::function<void()> onAppearing) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  clientWindowAppearing = std::move(onAppearing);
  return true;
}

void FakeView::Render(host::HostSnapshot) {
  std::lock_guard<std::mutex> guard(lock_);
  ++renders_;
}

int FakeView::Renders() const {
  std::lock_guard<std::mutex> guard(lock_);
  return renders_;
}

bool FakeView::PostToUiThread(std::function<void()> task) {
  std::lock_guard<std::mutex> guard(lock_);
  posted_.push_back(std::move(task));
  return true;
}

int FakeView::RunPosted() {
  std::vector<std::function<void()>> tasks;
  {
    std::lock_guard<std::mutex> guard(lock_);
    tasks.swap(posted_);
  }
  for (auto& task : tasks) task();
  return static_cast<int>(tasks.size());
}

size_t FakeView::Posted() const {
  std::lock_guard<std::mutex> guard(lock_);
  return posted_.size();
}

HWND FakeView::MainWindow() { return host::HandleFromValue(0x800); }
HWND FakeView::Pane(int k) { return k >= 1 && k <= 6 ? host::HandleFromValue(0x900 + 4 * k) : nullptr; }

}  // namespace fakes
