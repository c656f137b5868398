#pragma once
// The platform's side of ForeignWindows: the exact user32/kernel32 calls the host relies on.
#include <memory>

#include "host/client_window_events.h"
#include "host/foreign_windows.h"

namespace host {

class SystemForeignWindows final : public ForeignWindows {
 public:
  // How long the enabling helper waits for more work before it ends; the next request
  // starts it again.
  static constexpr DWORD kEnablerIdleMs = 3000;

  explicit SystemForeignWindows(DWORD enablerIdleMs = kEnablerIdleMs);
  ~SystemForeignWindows() override;  // tells the enabling helper to end
  SystemForeignWindows(const SystemForeignWindows&) = delete;
  SystemForeignWindows& operator=(const SystemForeignWindows&) = delete;

  HWND FindWindowByClassTitle(HWND parent, HWND after, const Text& className, const Text& title) override;
  bool HasChild(HWND window) override;
  Text GetWindowExePath(HWND window) override;
  HWND SetParentWindow(HWND child, HWND newParent) override;
  bool MoveWindowKeep(HWND window, int x, int y, int width = kKeepSize, int height = kKeepSize) override;
  bool MoveWindowAsync(HWND window, int x, int y, int width = kKeepSize, int height = kKeepSize) override;
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
  Offset CursorOffsetInWindow(HWND window) override;
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

 public:
  struct EnableQueue;

 private:
  // EnableWindow sends WM_ENABLE and waits for the client; one helper thread applies the
  // latest state asked for per window, so the guard never waits. The helper runs while there
  // is work and ends after kEnablerIdleMs without any: a thread costs about 1 MB under Wine,
  // and the guard asks only while the pointer moves. It shares this state, so it may outlive
  // us while stuck on a hung client.
  std::shared_ptr<EnableQueue> enableQueue_;
  std::unique_ptr<ClientWindowEvents> clientWindowEvents_;
};

}  // namespace host
