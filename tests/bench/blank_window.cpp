// The benchmark's reference: one empty window of the main window's size (60 % of the screen)
// with a message loop, nothing else.
#include <windows.h>

namespace {
LRESULT CALLBACK BlankProc(HWND window, UINT message, WPARAM w, LPARAM l) noexcept {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, w, l);
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = BlankProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = "BlankBenchWindow";
  if (!RegisterClassA(&wc)) return 1;
  const int width = static_cast<int>(GetSystemMetrics(SM_CXSCREEN) * 0.6);
  const int height = static_cast<int>(GetSystemMetrics(SM_CYSCREEN) * 0.6);
  HWND window = CreateWindowExA(0, wc.lpszClassName, "Blank", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                (GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2,
                                width, height, nullptr, nullptr, instance, nullptr);
  if (!window) return 2;
  ShowWindow(window, SW_SHOW);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
