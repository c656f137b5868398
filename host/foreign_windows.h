#pragma once
// Every call the instance host makes towards another process's window or process. The
// production implementation (SystemForeignWindows) makes the platform calls; tests put a
// fake in its place, so adoption, removal and the guards run without a client.
// Foreign windows are never owned: a plain HWND names them.
#include <windows.h>

#include <functional>

#include "util/text.h"

namespace host {

struct Offset {
  int x = 0;
  int y = 0;
};

constexpr int kKeepSize = -1;  // width or height: keep the window's own

class ForeignWindows {
 public:
  virtual ~ForeignWindows() = default;

  // FindWindowExA(parent, after, class, title); empty texts are passed as null.
  virtual HWND FindWindowByClassTitle(HWND parent, HWND after, const Text& className,
                                      const Text& title) = 0;
  virtual bool HasChild(HWND window) = 0;
  // Full path of the owning process's main module (trimmed), or empty.
  virtual Text GetWindowExePath(HWND window) = 0;
  virtual HWND SetParentWindow(HWND child, HWND newParent) = 0;
  // MoveWindow with repaint; waits for the window's thread.
  virtual bool MoveWindowKeep(HWND window, int x, int y, int width = kKeepSize,
                              int height = kKeepSize) = 0;
  // The same move queued to the window's own thread: a hung client cannot stall the caller.
  virtual bool MoveWindowAsync(HWND window, int x, int y, int width = kKeepSize,
                               int height = kKeepSize) = 0;
  // Applied on a helper thread with the latest state asked for; never waits for the client.
  virtual void EnableWindowAsync(HWND window, bool enable) = 0;
  // EnableWindow on the calling thread (the hand-back on the way out).
  virtual void EnableWindowNow(HWND window, bool enable) = 0;
  virtual void ShowWindowNormal(HWND window) = 0;             // ShowWindow SW_SHOWNORMAL
  virtual void ShowWindowNoActivateAsync(HWND window) = 0;    // ShowWindowAsync SW_SHOWNA
  virtual bool IsVisible(HWND window) = 0;
  virtual bool Exists(HWND window) = 0;
  virtual bool IsEnabled(HWND window) = 0;
  virtual HWND ParentOf(HWND window) = 0;  // GetAncestor GA_PARENT
  // Whether the window lies at (x, y) of its parent's client area with that size. Reads
  // only what the system keeps; never waits for the window's thread.
  virtual bool IsPlacedAt(HWND window, int x, int y, int width, int height) = 0;
  virtual HWND WindowUnderCursor() = 0;
  virtual Offset CursorOffsetInWindow(HWND window) = 0;
  virtual DWORD ProcessIdOfWindow(HWND window) = 0;  // 0 when the window does not exist
  virtual DWORD ThreadIdOfWindow(HWND window) = 0;
  virtual bool EndProcess(DWORD processId) = 0;      // does not wait for the end
  virtual bool ProgramExists(const Text& path) = 0;
  virtual bool RunProgram(const Text& commandLine) = 0;
  virtual HWND FindWindowByHandleOrTitle(const Text& text) = 0;
  virtual HWND ActivateWindow(HWND window) = 0;
  virtual bool IsHung(HWND window) = 0;
  // True when the window's thread handles a message within timeoutMs (WM_NULL sent with
  // SMTO_ABORTIFHUNG: a window the system counts as hung fails at once).
  virtual bool Answers(HWND window, DWORD timeoutMs) = 0;
  // AttachThreadInput(from, to, attach).
  virtual bool AttachInput(DWORD fromThread, DWORD toThread, bool attach) = 0;
  // The avatar image of a client window (BMP bytes), or empty.
  virtual Bytes CaptureAvatar(HWND window) = 0;
  virtual void TrimWorkingSet() = 0;
  // Calls onAppearing (on the calling thread, from its message loop) whenever a client main
  // or alert window appears at top level in another process. False when the system gives
  // no such word; the cycle's poll finds the windows anyway.
  virtual bool WatchClientWindows(std::function<void()> onAppearing) = 0;
};

}  // namespace host
