#pragma once
// Windows of the test's own process for the instance-host tests.
#include <windows.h>

#include <functional>
#include <string>

namespace fixtures {

// A visible top-level window, painted in `background` with the avatar square (9, 36,
// 36 by 36, counted from the window's top-left corner, frame included) in `square` and a
// one-pixel ring just outside it in `ring`. It paints the same way for WM_PAINT and
// WM_PRINTCLIENT, so PrintWindow draws it. With a title bar unless `style` says
// otherwise (WS_POPUP: no frame, the client area is the whole window). Destroyed with
// the object.
class PaintedWindow {
 public:
  PaintedWindow(const char* title, int x, int y, int width, int height, COLORREF background = RGB(20, 120, 40),
                COLORREF square = RGB(200, 40, 120), COLORREF ring = RGB(250, 250, 0), DWORD exStyle = 0,
                DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU);
  ~PaintedWindow();
  PaintedWindow(const PaintedWindow&) = delete;
  PaintedWindow& operator=(const PaintedWindow&) = delete;
  HWND hwnd() const { return hwnd_; }
  void Destroy();

 private:
  HWND hwnd_ = nullptr;
};

// Handles this thread's pending messages.
void PumpMessages();
// Polls condition every 20 ms for up to timeoutMs, handling messages; true when it held.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

bool RunningUnderWine();

}  // namespace fixtures
