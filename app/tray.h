#pragma once
#include <windows.h>

#include "ui/units.h"
#include "util/text.h"

namespace app {
void InstallTrayIcon();          // start-up: MainWindow's tray icon with the tip "Tandrel"
void OnTrayEvent(ui::TrayEvent event);
void ShowMainWindow();
void OnShowWindowCommand();
void OnExitCommand();

// Adds the icon of `window` (id 100) made from an icon file, or replaces icon and tip when
// it is shown already. A file that gives no icon shows none. Returns whether an icon was
// handed to the shell.
bool SetTrayIcon(HWND window, const Bytes& iconFile, const Text& tip);
void RemoveTrayIcon(HWND window);
// The icon file carried in the executable (9662 bytes: one 48 by 48, 32-bit image).
Bytes TrayIconData();
// The first image of an icon file (what CreateIconFromResourceEx takes), or empty when the
// bytes are not an icon file or the image lies outside them.
Bytes FirstIconImage(const Bytes& iconFile);
// The tip as the shell gets it: at most 62 bytes, never ending in half a two-byte character.
Text CutTrayTip(const Text& tip);
}  // namespace app
