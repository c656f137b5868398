#include "shell_program.h"

#include <algorithm>
#include <climits>

namespace shell_test {
namespace {

std::string ClassOf(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::string TitleOf(HWND window) {
  char title[512] = {};
  GetWindowTextA(window, title, sizeof title);
  return title;
}

}  // namespace

HWND FindWindowOf(DWORD pid, const char* className, const char* title) {
  for (HWND w : WindowsOf(pid, false)) {
    if (className && ClassOf(w) != className) continue;
    if (title && TitleOf(w) != title) continue;
    return w;
  }
  return nullptr;
}

bool InstanceEventExists() {
  HANDLE event = OpenEventA(SYNCHRONIZE, FALSE, kInstanceEventName);
  if (!event) return false;
  CloseHandle(event);
  return true;
}

TrayArea CaptureTrayArea() {
  TrayArea capture;
  HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
  if (!tray) return capture;
  RECT r;
  GetWindowRect(tray, &r);
  constexpr int kWidth = 240;  // well clear of the task buttons that grow from the left
  if (r.right - r.left > kWidth) r.left = r.right - kWidth;
  capture.area = r;
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return capture;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap && bits) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const DWORD* p = static_cast<const DWORD*>(bits);
    capture.pixels.assign(p, p + w * h);
    for (DWORD& px : capture.pixels) px &= 0xFFFFFF;
    SelectObject(memory, old);
  }
  if (bitmap) DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return capture;
}

bool ChangedBox(const TrayArea& before, const TrayArea& after, RECT* box) {
  if (before.pixels.size() != after.pixels.size() || !EqualRect(&before.area, &after.area)) return false;
  const int w = before.area.right - before.area.left;
  RECT found = {LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN};
  bool any = false;
  for (size_t i = 0; i < before.pixels.size(); ++i) {
    if (before.pixels[i] == after.pixels[i]) continue;
    const LONG x = before.area.left + static_cast<LONG>(i % w), y = before.area.top + static_cast<LONG>(i / w);
    found = {std::min(found.left, x), std::min(found.top, y), std::max(found.right, x + 1), std::max(found.bottom, y + 1)};
    any = true;
  }
  if (any && box) *box = found;
  return any;
}

// The notification area once it has stopped changing (an icon of a program that has just
// ended goes a moment later).
TrayArea SettledTray() {
  // An icon left by a program that was ended without removing it stays until the pointer
  // passes over it (the shell then finds its window gone): sweep the area first.
  const RECT area = CaptureTrayArea().area;
  if (area.right > area.left) {
    const int y = (area.top + area.bottom) / 2;
    for (int x = area.right - 2; x >= area.left; x -= 6) {
      INPUT move{};
      move.type = INPUT_MOUSE;
      move.mi.dx = static_cast<LONG>((x * 65535.0) / (GetSystemMetrics(SM_CXSCREEN) - 1));
      move.mi.dy = static_cast<LONG>((y * 65535.0) / (GetSystemMetrics(SM_CYSCREEN) - 1));
      move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
      SendInput(1, &move, sizeof move);
      support::PumpMessagesFor(10);
    }
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 3);
  }
  TrayArea last = CaptureTrayArea();
  int same = 0;
  support::WaitFor([&] {
    TrayArea now = CaptureTrayArea();
    same = ChangedBox(last, now, nullptr) ? 0 : same + 1;
    last = now;
    return same >= 5;
  }, 10000, 200);
  return last;
}

bool WaitForNewTrayIcon(const TrayArea& before, DWORD timeoutMs, RECT* icon) {
  return support::WaitFor([&] { return ChangedBox(before, CaptureTrayArea(), icon); }, timeoutMs, 100);
}

void ClickScreen(int x, int y, bool right) {
  // Moved there first, as a hand would: the shell tracks the pointer over its icons.
  INPUT move{};
  move.type = INPUT_MOUSE;
  move.mi.dx = static_cast<LONG>((x * 65535.0) / (GetSystemMetrics(SM_CXSCREEN) - 1));
  move.mi.dy = static_cast<LONG>((y * 65535.0) / (GetSystemMetrics(SM_CYSCREEN) - 1));
  move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &move, sizeof move);
  SetCursorPos(x, y);
  support::PumpMessagesFor(200);
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_MOUSE;
  input[0].mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
  input[1].mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
  SendInput(1, &input[0], sizeof(INPUT));
  support::PumpMessagesFor(50);
  SendInput(1, &input[1], sizeof(INPUT));
}

}  // namespace shell_test
