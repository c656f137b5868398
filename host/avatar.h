#pragma once
#include <windows.h>

#include "host/bmp_crop.h"
#include "util/text.h"

namespace host {
Bytes CaptureAvatar(HWND window);
Bytes CaptureWindowBmp(HWND window);
bool ConvertImage(const Bytes& image, Bytes& output);
}  // namespace host
