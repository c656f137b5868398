#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "util/text.h"

namespace host {
Bytes CaptureAvatar(HWND window);
Bytes CaptureWindowBmp(HWND window);
// Pure: reads nothing outside [data, data + size).
Bytes CropBmp(const Bytes& bmp, int x, int y, int width, int height);
Bytes CropBmp(const std::uint8_t* data, std::size_t size, int x, int y, int width, int height);
bool ConvertImage(const Bytes& image, Bytes& output);
}  // namespace host
