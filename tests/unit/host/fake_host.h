#pragma once
// A fake of the foreign-window seam and of the form's view, for the host's logic without
// any client: windows are plain records (class, title, parent, visibility, process), and
// every call that changes something is written to a list.
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "host/foreign_windows.h"
#include "host/host_view.h"

namespace fakes {

struct FakeWindow {
  Text className;
  Text title;
  HWND parent = nullptr;  // null: top-level
  bool exists = true;
  bool visible = true;
  bool staysHidden = false;  // showing it does not make it visible
  bool enabled = true;
  bool hung = false;
  DWORD pid = 0;
  DWORD thread = 0;
  Text exePath;
};

class FakeForeignWindows final : public host::ForeignWindows {
 public:
  // Adds a window; handles are distinct multiples of 4, in the order added.
  HWND Add(const FakeWindow& window);
  HWND AddClientMainWindow(DWORD pid, bool visible = true);  // WeChatMainWndForPC, "微信"
  FakeWindow Window(HWND window) const;
  void Change(HWND window, const std::function<void(FakeWindow&)>& change);
  void EndAll(DWORD pid);  // the process and its windows are gone
  std::vector<std::string> Calls() const;
  bool Called(const std::string& call) const;
  void ClearCalls();

  std::set<Text> programs;  // paths where a program exists
  HWND underCursor = nullptr;
  std::set<HWND> placedInPane;  // IsPlacedAt is true for these
  host::Offset cursorOffset;
  Bytes avatar{'B', 'M', 1, 2, 3};
  DWORD uiThread = 1;  // the main window's thread

  HWND FindWindowByClassTitle(HWND parent, HWND after, const Text& className, const Text& title) override;
  bool HasChild(HWND window) override;
  Text GetWindowExePath(HWND window) override;
  HWND SetParentWindow(HWND child, HWND newParent) override;
  bool MoveWindowKeep(HWND window, int x, int y, int width, int height) override;
  bool MoveWindowAsync(HWND window, int x, int y, int width, int height) override;
  void EnableWindowAsync(HWND window, bool enable) override;
  void EnableWindowNow(HWND window, bool enable) override;
  void ShowWindowNormal(HWND window) override;
  void ShowWindowNoActivateAsync(HWND window) override;
  bool IsVisible(HWND window) override;
  bool Exists(HWND window) override;
  bool IsEnabled(HWND window) override;
  HWND ParentOf(HWND window) override;
  bool IsPlacedAt(HWND window, int x, int y, int width, int height) override;
  HWND WindowUnderCursor() override;
  host::Offset CursorOffsetInWindow(HWND window) override;
  DWORD ProcessIdOfWindow(HWND window) override;
  DWORD ThreadIdOfWindow(HWND window) override;
  bool EndProcess(DWORD processId) override;
  bool ProgramExists(const Text& path) override;
  bool RunProgram(const Text& commandLine) override;
  HWND FindWindowByHandleOrTitle(const Text& text) override;
  HWND ActivateWindow(HWND window) override;
  bool IsHung(HWND window) override;
  bool Answers(HWND window, DWORD timeoutMs) override;
  bool AttachInput(DWORD fromThread, DWORD toThread, bool attach) override;
  Bytes CaptureAvatar(HWND window) override;
  void TrimWorkingSet() override;
  bool WatchClientWindows(std::function<void()> onAppearing) override;

  // What the host asked to be called when a client window appears (empty until it watches).
  std::function<void()> clientWindowAppearing;

 private:
  void Record(const std::string& call);
  mutable std::recursive_mutex lock_;
  std::vector<HWND> order_;
  std::map<HWND, FakeWindow> windows_;
  std::vector<std::string> calls_;
};

// Handles as the call list writes them.
std::string H(HWND window);

class FakeView final : public host::HostView {
 public:
  static constexpr int kPaneWidth = 914;
  static constexpr int kPaneHeight = 599;
  void Render(host::HostSnapshot snapshot) override;
  HWND MainWindow() override;
  HWND Pane(int k) override;
  host::PaneSize PaneSizeOf() override { return {kPaneWidth, kPaneHeight}; }
  void LoadPanes() override {}
  void HideMainWindow() override { ++hides; }
  void ShowMainWindow() override { ++shows; }
  void FirstUseNoticeAndEnd() override { ++firstUseNotices; }
  bool PostToUiThread(std::function<void()> task) override;

  int Renders() const;
  // Runs the posted tasks, as the message loop would; how many ran.
  int RunPosted();
  size_t Posted() const;
  int hides = 0, shows = 0;
  std::atomic<int> firstUseNotices{0};

 private:
  mutable std::mutex lock_;
  int renders_ = 0;
  std::vector<std::function<void()>> posted_;
};

}  // namespace fakes
