#pragma once
// What the shell tests look at from outside: the windows of a copy of tandrel.exe (started
// through support::ProgramUnderTest), the single-instance event and the notification area.
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/program_under_test.h"
#include "tests/support/test_support.h"

namespace shell_test {

// MD5 of the bytes "Tandrel", from python3 -c "import hashlib;print(hashlib.md5(b'Tandrel').hexdigest())".
constexpr char kInstanceEventName[] = "0d29340f92752b34cfab085d81d4178c";

// Top-level windows of the process (visibleOnly: only those shown).
inline std::vector<HWND> WindowsOf(DWORD pid, bool visibleOnly) { return support::TopLevelWindowsOf(pid, visibleOnly); }
HWND FindWindowOf(DWORD pid, const char* className, const char* title);
using support::MessageBoxText;
bool InstanceEventExists();

// The right end of the taskbar, where Wine's desktop draws the notification-area icons (it
// draws them itself: they are no windows that could be enumerated). Icons are found as the
// pixels that changed between two captures.
struct TrayArea {
  RECT area{};
  std::vector<DWORD> pixels;  // 0x00RRGGBB, row by row
};
TrayArea CaptureTrayArea();
// The bounding box (screen coordinates) of the pixels that differ; false when none do.
bool ChangedBox(const TrayArea& before, const TrayArea& after, RECT* box);
// The area once it has stopped changing (the icon of a program that has just ended goes a
// moment later).
TrayArea SettledTray();
// Waits for an icon to appear in the area since `before`; its rectangle.
bool WaitForNewTrayIcon(const TrayArea& before, DWORD timeoutMs, RECT* icon);
// Real mouse input at a screen point: move, then press and release the button.
void ClickScreen(int x, int y, bool right);

}  // namespace shell_test
