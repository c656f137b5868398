#pragma once
// How the stand-in client's main window looks, shared with in-process tests: a test can
// create a window that paints exactly like the stand-in (WM_PAINT, WM_PRINT, WM_PRINTCLIENT)
// and capture it itself, which a capture of another process cannot show under Wine.
#include <windows.h>

namespace standin {

// The avatar square in whole-window coordinates (title bar and borders included).
constexpr int kAvatarX = 9, kAvatarY = 36, kAvatarSize = 36;
constexpr COLORREF kSideBarColour = RGB(46, 46, 46);
constexpr COLORREF kBackgroundColour = RGB(245, 245, 245);
constexpr int kSideBarWidth = 54;

// Paints the main window's image into dc. (originX, originY) is where the window's top-left
// corner lies in dc's coordinates: (0, 0) for a whole-window DC, minus the client offset for
// a client DC. width and height are the whole window's.
void PaintMainWindowImage(HDC dc, int originX, int originY, int width, int height, COLORREF avatar,
                          const char* caption);

// Offset of the client area's top-left corner from the window's top-left corner.
POINT ClientOffsetInWindow(HWND window);

// Handles WM_PAINT, WM_PRINT, WM_PRINTCLIENT and WM_ERASEBKGND for a window that shows the
// main window image; true when the message was one of them (result in *result).
bool HandleMainWindowPaint(HWND window, UINT message, WPARAM wParam, LPARAM lParam, COLORREF avatar,
                           const char* caption, LRESULT* result);

// Creates a top-level window of this process that paints like the stand-in's main window.
// style WS_POPUP gives client = window; with a caption the square still lands at window
// (9, 36). The window is destroyed by DestroyWindow as usual. 0 on failure.
HWND CreatePaintedTestWindow(const char* className, const char* title, DWORD style, int x, int y, int width,
                             int height, COLORREF avatar);

}  // namespace standin
