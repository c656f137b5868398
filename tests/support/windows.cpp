#include "tests/support/test_support.h"

namespace support {

std::string WindowClassOf(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::string WindowTitleOf(HWND window) {
  char title[512] = {};
  GetWindowTextA(window, title, sizeof title);
  return title;
}

void MovePointerTo(int x, int y) {
  INPUT move{};
  move.type = INPUT_MOUSE;
  move.mi.dx = static_cast<LONG>((x * 65535.0) / (GetSystemMetrics(SM_CXSCREEN) - 1));
  move.mi.dy = static_cast<LONG>((y * 65535.0) / (GetSystemMetrics(SM_CYSCREEN) - 1));
  move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &move, sizeof move);
}

}  // namespace support
