#pragma once
// Restyling of one window of this process: its frame and caption, and the colours its
// standard controls ask it for.
#include <windows.h>

#include "skin/skin_format.h"

namespace skin {

// The skin every restyled window uses; set once before the first window is restyled.
void SetActiveSkin(const Skin& skin);
// Subclasses `window` when it is a top-level window or dialog of this process not yet
// restyled; windows of other processes are never touched. `existing`: the window is
// already shown and its frame is redrawn at once. Returns whether it was restyled.
bool RestyleWindow(HWND window, bool existing);

}  // namespace skin
