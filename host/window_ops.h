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
HWND WindowUnderCursor();
Offset CursorOffsetInWindow(HWND window);
DWORD ProcessIdOfWindow(HWND window);
bool EndProcess(DWORD processId);
bool RunProgram(const Text& commandLine);
HWND FindWindowByHandleOrTitle(const Text& text);
HWND ActivateWindow(HWND window);

// Decimal text of a handle, as the liveness test writes it.
Text HandleText(HWND window);

}  // namespace host
