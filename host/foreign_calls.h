#pragma once
// Calls towards client windows that never wait for the client. The user-interface thread
// and the hook handlers use these: a hosted client that stops handling its messages must
// not stall our window or the system's input (Windows drops a slow low-level hook).
#include <windows.h>

namespace host {

// SetWindowPos with SWP_ASYNCWINDOWPOS: the move is queued to the window's own thread.
// Width/height < 0 keep the window's current size (read from its rectangle, no message).
void MoveWindowAsync(HWND window, int x, int y, int width = -1, int height = -1);

// EnableWindow sends WM_ENABLE and waits for it; here the call is made on a helper thread,
// one per window at most, which applies the latest state asked for. Nothing is done when
// the window already has that state and no change is in flight.
void EnableWindowAsync(HWND window, bool enable);

}  // namespace host
