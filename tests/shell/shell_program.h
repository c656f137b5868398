#pragma once
// Starting copies of tandrel.exe for the shell tests and finding their windows.
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace shell_test {

// MD5 of the bytes "Tandrel", from python3 -c "import hashlib;print(hashlib.md5(b'Tandrel').hexdigest())".
constexpr char kInstanceEventName[] = "0d29340f92752b34cfab085d81d4178c";

struct Files { bool skinLibrary = true; bool skinFile = true; };
// Copies tandrel.exe (as exeName) and the chosen shipped files into dir; the exe's path.
std::string InstallProgram(const std::string& dir, const std::string& exeName = "tandrel.exe",
                           Files files = Files());
support::Process StartProgram(const std::string& exePath);

// Top-level windows of the process (visibleOnly: only those shown).
std::vector<HWND> WindowsOf(DWORD pid, bool visibleOnly);
HWND FindWindowOf(DWORD pid, const char* className, const char* title);
// The shortcut question ("提示信息" message box) of the process, waiting up to timeoutMs.
HWND WaitForQuestion(DWORD pid, DWORD timeoutMs);
// The shown main window of the process, or null.
HWND MainWindowOf(DWORD pid);
// The main window once it is shown; a shortcut question on the way is answered Cancel.
HWND WaitForMainWindow(DWORD pid, DWORD timeoutMs);
// The text of a message box (its static text).
std::string MessageBoxText(HWND box);
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

// Ends the process if it is still running (a test that failed half-way).
struct ProgramGuard {
  support::Process& process;
  ~ProgramGuard() { support::EndProcessAndWait(process); }
};

}  // namespace shell_test
