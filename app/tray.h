#pragma once
#include <windows.h>
#include <shellapi.h>

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
// handed to the shell. An add the shell refuses (no taskbar yet at logon) is tried again a
// few times over the next seconds, from the user-interface thread's timer.
bool SetTrayIcon(HWND window, const Bytes& iconFile, const Text& tip);
void RemoveTrayIcon(HWND window);
// The message a new taskbar broadcasts (the shell restarted): every icon must be added again.
// 0 when it could not be registered.
UINT TaskbarCreatedMessage();
// Adds the current icon again (the shell that showed it has gone); nothing when none is set.
void OnTaskbarCreated();

// The shell call, replaceable so that tests can make the shell refuse; returns the one before.
using NotifyIconCall = BOOL(WINAPI*)(DWORD message, PNOTIFYICONDATAA data);
NotifyIconCall ReplaceNotifyIconCall(NotifyIconCall call);
constexpr int kTrayAddRetryMs = 1500;
constexpr int kTrayAddRetries = 8;
// The icon file carried in the executable (9662 bytes: one 48 by 48, 32-bit image).
Bytes TrayIconData();
// The first image of an icon file (what CreateIconFromResourceEx takes), or empty when the
// bytes are not an icon file or the image lies outside them.
Bytes FirstIconImage(const Bytes& iconFile);
// The tip as the shell gets it: at most 62 bytes, never ending in half a two-byte character.
Text CutTrayTip(const Text& tip);
}  // namespace app
