#pragma once
// Cutting a rectangle out of BMP bytes: pure, no platform calls.
#include <cstddef>
#include <cstdint>

#include "util/text.h"

namespace host {
// The rectangle (x, y, width, height), counted from the image's top-left corner, as BMP
// bytes of the same bit count; empty when the image cannot be cut (see bmp_crop.cpp).
// Reads nothing outside [data, data + size).
Bytes CropBmp(const Bytes& bmp, int x, int y, int width, int height);
Bytes CropBmp(const std::uint8_t* data, std::size_t size, int x, int y, int width, int height);
}  // namespace host
