#pragma once
#include <windows.h>

#include "util/text.h"

namespace app {
void InstallTrayIcon();          // start-up: MainWindow's tray icon with the tip "Tandrel"
void OnTrayEvent(int argument);  // 1 left up, 2 double click, 3 right up / context menu
void ShowMainWindow();
void OnShowWindowCommand();
void OnExitCommand();

// Adds the icon of `window` (id 100), or replaces icon and tip when it is shown already.
// An image that gives no icon shows none. Returns whether an icon was handed to the shell.
bool SetTrayIcon(HWND window, const Bytes& iconImage, const Text& tip);
void RemoveTrayIcon(HWND window);
// The 48 by 48 image of the program's icon, as stored in the executable; empty when absent.
Bytes TrayIconData();
// The tip as the shell gets it: at most 62 bytes, never ending in half a two-byte character.
Text CutTrayTip(const Text& tip);
}  // namespace app
