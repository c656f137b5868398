#include "tests/standin/standin_paint.h"

#include <string>

namespace standin {

void PaintMainWindowImage(HDC dc, int originX, int originY, int width, int height, COLORREF avatar,
                          const char* caption) {
  auto fill = [&](int left, int top, int right, int bottom, COLORREF colour) {
    RECT r = {originX + left, originY + top, originX + right, originY + bottom};
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
  };
  fill(0, 0, width, height, kBackgroundColour);
  fill(0, 0, kSideBarWidth, height, kSideBarColour);
  fill(kAvatarX, kAvatarY, kAvatarX + kAvatarSize, kAvatarY + kAvatarSize, avatar);

  // Caption buttons drawn by the window itself, as the client draws its own frame:
  // minimise, maximise and close at the top-right corner.
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(80, 80, 80));
  const char* glyphs[3] = {"-", "o", "x"};
  for (int i = 0; i < 3; ++i) {
    RECT box = {originX + width - 32 * (3 - i), originY, originX + width - 32 * (2 - i), originY + 25};
    DrawTextA(dc, glyphs[i], 1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  if (caption && *caption) {
    RECT text = {originX + kSideBarWidth + 16, originY + 40, originX + width - 16, originY + height - 16};
    DrawTextA(dc, caption, -1, &text, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
  }
}

POINT ClientOffsetInWindow(HWND window) {
  RECT windowRect = {};
  GetWindowRect(window, &windowRect);
  POINT client = {0, 0};
  ClientToScreen(window, &client);
  POINT offset = {client.x - windowRect.left, client.y - windowRect.top};
  return offset;
}

namespace {
void WindowSize(HWND window, int* width, int* height) {
  RECT r = {};
  GetWindowRect(window, &r);
  *width = r.right - r.left;
  *height = r.bottom - r.top;
}
}  // namespace

bool HandleMainWindowPaint(HWND window, UINT message, WPARAM wParam, LPARAM lParam, COLORREF avatar,
                           const char* caption, LRESULT* result) {
  int width = 0, height = 0;
  switch (message) {
    case WM_ERASEBKGND:
      *result = 1;  // everything is painted in WM_PAINT; erasing first only flickers
      return true;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      POINT offset = ClientOffsetInWindow(window);
      WindowSize(window, &width, &height);
      PaintMainWindowImage(dc, -offset.x, -offset.y, width, height, avatar, caption);
      EndPaint(window, &ps);
      *result = 0;
      return true;
    }
    case WM_PRINTCLIENT: {
      POINT offset = ClientOffsetInWindow(window);
      WindowSize(window, &width, &height);
      PaintMainWindowImage(reinterpret_cast<HDC>(wParam), -offset.x, -offset.y, width, height, avatar, caption);
      *result = 0;
      return true;
    }
    case WM_PRINT: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      if ((lParam & PRF_CHECKVISIBLE) && !IsWindowVisible(window)) {
        *result = 0;
        return true;
      }
      // The frame (if any) the system's way, then the client area in window coordinates.
      if (lParam & PRF_NONCLIENT) DefWindowProcA(window, WM_PRINT, wParam, PRF_NONCLIENT);
      if (lParam & PRF_CLIENT) {
        POINT offset = ClientOffsetInWindow(window);
        RECT client = {};
        GetClientRect(window, &client);
        WindowSize(window, &width, &height);
        int saved = SaveDC(dc);
        IntersectClipRect(dc, offset.x, offset.y, offset.x + client.right, offset.y + client.bottom);
        PaintMainWindowImage(dc, 0, 0, width, height, avatar, caption);
        RestoreDC(dc, saved);
      }
      *result = 0;
      return true;
    }
    default:
      return false;
  }
}

namespace {

constexpr char kColourProperty[] = "TandrelStandinAvatar";

LRESULT CALLBACK PaintedTestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  COLORREF avatar = static_cast<COLORREF>(reinterpret_cast<UINT_PTR>(GetPropA(window, kColourProperty)));
  LRESULT result = 0;
  if (message == WM_NCDESTROY) RemovePropA(window, kColourProperty);
  if (message == WM_SIZE) InvalidateRect(window, nullptr, FALSE);
  if (HandleMainWindowPaint(window, message, wParam, lParam, avatar, nullptr, &result)) return result;
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

HWND CreatePaintedTestWindow(const char* className, const char* title, DWORD style, int x, int y, int width,
                             int height, COLORREF avatar) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA wc = {};
  if (!GetClassInfoA(instance, className, &wc)) {
    wc.lpfnWndProc = PaintedTestWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.lpszClassName = className;
    if (!RegisterClassA(&wc)) return nullptr;
  }
  HWND window = CreateWindowExA(0, className, title, style & ~WS_VISIBLE, x, y, width, height, nullptr, nullptr,
                                instance, nullptr);
  if (!window) return nullptr;
  SetPropA(window, kColourProperty, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(avatar)));
  if (style & WS_VISIBLE) {
    ShowWindow(window, SW_SHOWNOACTIVATE);
    UpdateWindow(window);
  }
  return window;
}

}  // namespace standin
