#pragma once
#include <windows.h>

#include "util/text.h"

namespace host {
Bytes CaptureAvatar(HWND window);
Bytes CaptureWindowBmp(HWND window);
Bytes CropBmp(const Bytes& bmp, int x, int y, int width, int height);
bool ConvertImage(const Bytes& image, Bytes& output);
}  // namespace host
