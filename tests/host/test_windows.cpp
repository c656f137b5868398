#include "tests/host/test_windows.h"

namespace fixtures {
namespace {

struct Colours {
  COLORREF background, square, ring;
};

void Fill(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
  RECT r = {left, top, right, bottom};
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

// Paints the client area; the square's place is given in window coordinates.
void Paint(HWND hwnd, HDC dc) {
  auto* colours = reinterpret_cast<Colours*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!colours) return;
  RECT window, client;
  GetWindowRect(hwnd, &window);
  GetClientRect(hwnd, &client);
  POINT origin = {0, 0};
  ClientToScreen(hwnd, &origin);
  int dx = origin.x - window.left;  // window x of client x 0
  int dy = origin.y - window.top;
  Fill(dc, 0, 0, client.right, client.bottom, colours->background);
  Fill(dc, 9 - 1 - dx, 36 - 1 - dy, 9 + 36 + 1 - dx, 36 + 36 + 1 - dy, colours->ring);
  Fill(dc, 9 - dx, 36 - dy, 9 + 36 - dx, 36 + 36 - dy, colours->square);
}

LRESULT CALLBACK PaintedProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  switch (message) {
    case WM_NCCREATE: {
      auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      break;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      Paint(hwnd, dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_PRINTCLIENT:
      Paint(hwnd, reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_NCDESTROY:
      delete reinterpret_cast<Colours*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      break;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

const char* PaintedClass() {
  static const char* name = [] {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = PaintedProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = "TandrelHostTestPainted";
    RegisterClassA(&wc);
    return wc.lpszClassName;
  }();
  return name;
}

}  // namespace

PaintedWindow::PaintedWindow(const char* title, int x, int y, int width, int height, COLORREF background,
                             COLORREF square, COLORREF ring, DWORD exStyle, DWORD style) {
  auto* colours = new Colours{background, square, ring};
  hwnd_ = CreateWindowExA(exStyle, PaintedClass(), title, style | WS_VISIBLE, x, y,
                          width, height, nullptr, nullptr, GetModuleHandleA(nullptr), colours);
  if (!hwnd_) delete colours;
  UpdateWindow(hwnd_);
  PumpMessages();
}

PaintedWindow::~PaintedWindow() { Destroy(); }

void PaintedWindow::Destroy() {
  if (hwnd_) DestroyWindow(hwnd_);
  hwnd_ = nullptr;
  PumpMessages();
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    PumpMessages();
    if (condition()) return true;
    if (GetTickCount() - start >= timeoutMs) return condition();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace fixtures
