#include "ui/picture.h"

#include <png.h>

#include <cstring>

namespace ui {
namespace {

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

std::uint32_t ReadLe32(const Bytes& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
         static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t ReadLe16(const Bytes& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

BITMAPINFO TopDown32(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// Wraps decoded pixels (already premultiplied) in a picture with its DIB section.
std::shared_ptr<const Picture> MakePicture(int width, int height, std::vector<std::uint32_t> pixels) {
  auto picture = std::make_shared<Picture>();
  picture->width = width;
  picture->height = height;
  picture->pixels = std::move(pixels);
  BITMAPINFO info = TopDown32(width, height);
  void* bits = nullptr;
  picture->bitmap.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!picture->bitmap || !bits) return nullptr;
  std::memcpy(bits, picture->pixels.data(), picture->pixels.size() * 4);
  GdiFlush();
  return picture;
}

bool SizeAcceptable(long long width, long long height) {
  return width > 0 && height > 0 && width * height <= kMaxPicturePixels;
}

}  // namespace

std::shared_ptr<const Picture> DecodePng(const Bytes& file) {
  if (file.size() < 8 || std::memcmp(file.data(), kPngSignature, 8) != 0) return nullptr;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) {
    png_image_free(&image);
    return nullptr;
  }
  if (!SizeAcceptable(image.width, image.height)) {
    png_image_free(&image);
    return nullptr;
  }
  image.format = PNG_FORMAT_BGRA;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(image.width) * image.height);
  if (!png_image_finish_read(&image, nullptr, pixels.data(), static_cast<png_int_32>(image.width * 4), nullptr)) {
    png_image_free(&image);
    return nullptr;
  }
  // AlphaBlend wants premultiplied colour.
  for (std::uint32_t& p : pixels) {
    std::uint32_t a = p >> 24;
    if (a == 255) continue;
    std::uint32_t r = ((p >> 16 & 0xFF) * a + 127) / 255;
    std::uint32_t g = ((p >> 8 & 0xFF) * a + 127) / 255;
    std::uint32_t b = ((p & 0xFF) * a + 127) / 255;
    p = a << 24 | r << 16 | g << 8 | b;
  }
  return MakePicture(static_cast<int>(image.width), static_cast<int>(image.height), std::move(pixels));
}

std::shared_ptr<const Picture> DecodeBmp(const Bytes& file) {
  // BITMAPFILEHEADER (14) + at least a BITMAPINFOHEADER (40).
  if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') return nullptr;
  const std::uint32_t dataOffset = ReadLe32(file, 10);
  const std::uint32_t headerSize = ReadLe32(file, 14);
  if (headerSize < 40 || 14ULL + headerSize > file.size()) return nullptr;
  const long long width = static_cast<std::int32_t>(ReadLe32(file, 18));
  const long long rawHeight = static_cast<std::int32_t>(ReadLe32(file, 22));
  const long long height = rawHeight < 0 ? -rawHeight : rawHeight;
  const unsigned planes = ReadLe16(file, 26);
  const unsigned bitCount = ReadLe16(file, 28);
  const std::uint32_t compression = ReadLe32(file, 30);
  std::uint32_t coloursUsed = ReadLe32(file, 46);
  if (planes != 1 || !SizeAcceptable(width, height)) return nullptr;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
    return nullptr;
  const bool bitFields = compression == BI_BITFIELDS && (bitCount == 16 || bitCount == 32);
  if (compression != BI_RGB && !bitFields) return nullptr;
  if (bitCount <= 8) {
    if (coloursUsed == 0 || coloursUsed > (1u << bitCount)) coloursUsed = 1u << bitCount;
  } else {
    coloursUsed = 0;
  }
  const unsigned long long tableBytes = coloursUsed * 4ULL + (bitFields && headerSize == 40 ? 12 : 0);
  const unsigned long long stride = ((static_cast<unsigned long long>(width) * bitCount + 31) / 32) * 4;
  const unsigned long long imageBytes = stride * static_cast<unsigned long long>(height);
  if (14ULL + headerSize + tableBytes > dataOffset) return nullptr;
  if (dataOffset + imageBytes > file.size()) return nullptr;

  // GDI converts every uncompressed layout to our 32-bit one.
  std::vector<std::uint8_t> header(file.begin() + 14, file.begin() + 14 + headerSize + static_cast<std::size_t>(tableBytes));
  BITMAPINFO target = TopDown32(static_cast<int>(width), static_cast<int>(height));
  void* bits = nullptr;
  util::UniqueBitmap dib(CreateDIBSection(nullptr, &target, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!dib || !bits) return nullptr;
  util::MemoryDc dc(nullptr);
  util::SelectedObject selected(dc.get(), dib.get());
  if (!selected) return nullptr;
  int rows = SetDIBitsToDevice(dc.get(), 0, 0, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0, 0,
                               static_cast<UINT>(height), file.data() + dataOffset,
                               reinterpret_cast<const BITMAPINFO*>(header.data()), DIB_RGB_COLORS);
  GdiFlush();
  if (rows <= 0) return nullptr;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width * height));
  std::memcpy(pixels.data(), bits, pixels.size() * 4);
  for (std::uint32_t& p : pixels) p |= 0xFF000000u;  // bitmaps here are opaque
  return MakePicture(static_cast<int>(width), static_cast<int>(height), std::move(pixels));
}

std::shared_ptr<const Picture> DecodePicture(const Bytes& file) {
  if (file.size() >= 2 && file[0] == 'B' && file[1] == 'M') return DecodeBmp(file);
  return DecodePng(file);
}

Placement CentredPlacement(int boxWidth, int boxHeight, int pictureWidth, int pictureHeight) {
  if (pictureWidth <= 0 || pictureHeight <= 0) return {0, 0, 0, 0};
  int w = pictureWidth;
  int h = pictureHeight;
  if (pictureWidth > boxWidth || pictureHeight > boxHeight) {
    // The limiting side takes the box's size exactly (22 * (15 / 22.0) would truncate
    // to 14); the other side is one division, so exact quotients stay exact.
    const double scaleX = static_cast<double>(boxWidth) / pictureWidth;
    const double scaleY = static_cast<double>(boxHeight) / pictureHeight;
    if (scaleX <= scaleY) {
      w = boxWidth;
      h = static_cast<int>(static_cast<double>(pictureHeight) * boxWidth / pictureWidth);
    } else {
      h = boxHeight;
      w = static_cast<int>(static_cast<double>(pictureWidth) * boxHeight / pictureHeight);
    }
  }
  return {static_cast<int>((boxWidth - w) / 2.0), static_cast<int>((boxHeight - h) / 2.0), w, h};
}

void DrawPicture(HDC dc, const Picture& picture, DisplayMode mode, int boxWidth, int boxHeight) {
  util::MemoryDc source(dc);
  util::SelectedObject selected(source.get(), picture.bitmap.get());
  if (!selected) return;
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  const int pw = picture.width;
  const int ph = picture.height;
  // At 1:1, only the part inside the box: AlphaBlend may refuse rectangles that leave
  // the target bitmap.
  auto blendAt = [&](int x, int y) {
    int w = pw < boxWidth - x ? pw : boxWidth - x;
    int h = ph < boxHeight - y ? ph : boxHeight - y;
    if (w > 0 && h > 0) AlphaBlend(dc, x, y, w, h, source.get(), 0, 0, w, h, blend);
  };
  switch (mode) {
    case DisplayMode::kOwnSizeTopLeft:
      blendAt(0, 0);
      break;
    case DisplayMode::kTiled:
      for (int y = 0; y < boxHeight; y += ph)
        for (int x = 0; x < boxWidth; x += pw) blendAt(x, y);
      break;
    case DisplayMode::kCentred: {
      Placement at = CentredPlacement(boxWidth, boxHeight, pw, ph);
      if (at.width > 0 && at.height > 0) {
        SetStretchBltMode(dc, HALFTONE);
        AlphaBlend(dc, at.x, at.y, at.width, at.height, source.get(), 0, 0, pw, ph, blend);
      }
      break;
    }
  }
}

}  // namespace ui
