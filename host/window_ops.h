#pragma once
// The instance host's only contact with foreign windows and processes.
// Handles and ids are 32-bit values handled as signed integers; found means > 0.
#include <windows.h>

#include "util/text.h"

namespace host {

using WindowId = HWND;  // never owned

struct Offset { int x; int y; };

// FindWindowExA(parent, after, class, title); empty texts are passed as null.
HWND FindWindowByClassTitle(HWND parent, HWND after, const Text& className, const Text& title);
bool HostHasChild(HWND window);
// Full path of the owning process's main module (trimmed), or empty.
Text GetWindowExePath(HWND window);
HWND SetParentWindow(HWND child, HWND newParent);
// Width/height < 0 mean "keep"; MoveWindow with repaint.
constexpr int kKeep = -1;
bool MoveWindowKeep(HWND window, int x, int y, int width = kKeep, int height = kKeep);
// The same move without waiting for the window's thread (SetWindowPos with
// SWP_ASYNCWINDOWPOS): for the user-interface thread, where a hung client must not stall us.
bool MoveWindowKeepAsync(HWND window, int x, int y, int width = kKeep, int height = kKeep);
HWND WindowUnderCursor();
Offset CursorOffsetInWindow(HWND window);
DWORD ProcessIdOfWindow(HWND window);
bool EndProcess(DWORD processId);
bool RunProgram(const Text& commandLine);
HWND FindWindowByHandleOrTitle(const Text& text);
HWND ActivateWindow(HWND window);

// Decimal text of a handle, as the liveness test writes it.
Text HandleText(HWND window);

// Thin wrappers, so that host/ names every platform call on foreign windows here.
bool WindowExists(HWND window);                    // IsWindow
bool WindowVisible(HWND window);                   // IsWindowVisible
void ShowWindowNormal(HWND window);                // ShowWindow, command 1
void SetWindowEnabled(HWND window, bool enabled);  // EnableWindow
void MinimiseWindow(HWND window);                  // CloseWindow
void RestoreWindow(HWND window);                   // OpenIcon
DWORD OwnProcessId();                              // GetCurrentProcessId
void TrimWorkingSet();                             // SetProcessWorkingSetSize(self, -1, -1)

}  // namespace host
