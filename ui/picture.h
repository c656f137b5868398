#pragma once
// Pictures shown by picture boxes: PNG (libpng) or BMP file bytes decoded to a
// 32-bit premultiplied bitmap, and where each display mode draws them.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "ui/units.h"
#include "util/text.h"
#include "util/unique_resource.h"

namespace ui {

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // top-down rows, premultiplied 0xAARRGGBB
  util::UniqueBitmap bitmap;          // a DIB section holding the same pixels, for AlphaBlend
};

// Larger pictures are refused rather than allocated (no picture box shows them).
constexpr long long kMaxPicturePixels = 4096LL * 4096LL;

// PNG or BMP file bytes; null when the bytes are neither or are damaged.
std::shared_ptr<const Picture> DecodePicture(const Bytes& file);
std::shared_ptr<const Picture> DecodePng(const Bytes& file);
std::shared_ptr<const Picture> DecodeBmp(const Bytes& file);

struct Placement {
  int x, y, width, height;
};
// Centred mode: own size centred, or scaled down keeping the aspect ratio when the
// picture is larger than the box in either direction (sizes truncated toward zero).
Placement CentredPlacement(int boxWidth, int boxHeight, int pictureWidth, int pictureHeight);

// Draws the picture into dc for a box of the given client size.
void DrawPicture(HDC dc, const Picture& picture, DisplayMode mode, int boxWidth, int boxHeight);

}  // namespace ui
