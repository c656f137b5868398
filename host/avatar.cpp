// The avatar of an adopted client: its window rendered into a bitmap, the square near
// the top-left corner cut out, and the result re-encoded by GDI+. Images pass between
// the steps as BMP file bytes.
#include "host/avatar.h"

#include <cstdint>
#include <cstring>

#include "host/gdiplus_session.h"
#include "host/window_ops.h"
#include "util/unique_resource.h"

namespace host {
namespace {

constexpr int kAvatarX = 9;
constexpr int kAvatarY = 36;
constexpr int kAvatarSize = 36;

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kHeadersSize = kFileHeaderSize + kInfoHeaderSize;  // 54
constexpr std::size_t kColourTableSize = 1024;                            // 256 entries
constexpr std::uint16_t kBmpType = 19778;                                 // "BM"

const char kBmpEncoderClsid[] = "{557CF400-1A04-11D3-9A73-0000F81EF32E}";

std::uint32_t ReadU32(const std::uint8_t* b, std::size_t at) {
  return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
         std::uint32_t(b[at + 3]) << 24;
}
std::uint16_t ReadU16(const std::uint8_t* b, std::size_t at) {
  return std::uint16_t(b[at] | b[at + 1] << 8);
}
void WriteU32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = std::uint8_t(v >> (8 * i));
}
void WriteU16(Bytes& b, std::size_t at, std::uint16_t v) {
  b[at] = std::uint8_t(v);
  b[at + 1] = std::uint8_t(v >> 8);
}

// Bytes per row, padded to a multiple of 4.
std::int64_t Stride(std::int64_t width, int bitCount) { return ((width * bitCount + 31) >> 5) << 2; }

void WriteFileHeader(Bytes& b, std::uint32_t dataOffset, std::uint32_t fileSize) {
  WriteU16(b, 0, kBmpType);
  WriteU32(b, 2, fileSize);
  WriteU32(b, 6, 0);  // both reserved fields
  WriteU32(b, 10, dataOffset);
}

// The bitmap the window draws into. A display of 8 bits per pixel or fewer would
// give a palette bitmap whose colour table this BMP layout has no room for, so there
// the capture is made at 32 bits in a DIB section instead of a compatible bitmap.
HBITMAP CreateCaptureBitmap(HDC screen, int width, int height) {
  int displayBits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
  if (displayBits > 8) return CreateCompatibleBitmap(screen, width, height);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  return CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
}

// GDI+ bitmap owner.
struct GdipBitmap {
  Gdiplus::GpBitmap* bitmap = nullptr;
  ~GdipBitmap() {
    if (bitmap) Gdiplus::DllExports::GdipDisposeImage(bitmap);
  }
};

// Unlocks a locked global block.
struct GlobalLockGuard {
  HGLOBAL block;
  void* address;
  explicit GlobalLockGuard(HGLOBAL b) : block(b), address(GlobalLock(b)) {}
  ~GlobalLockGuard() {
    if (address) GlobalUnlock(block);
  }
  GlobalLockGuard(const GlobalLockGuard&) = delete;
  GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
};

}  // namespace

Bytes CaptureAvatar(HWND window) {
  Bytes square = CropBmp(CaptureWindowBmp(window), kAvatarX, kAvatarY, kAvatarSize, kAvatarSize);
  Bytes converted;
  if (ConvertImage(square, converted)) return converted;
  return square;
}

Bytes CaptureWindowBmp(HWND window) {
  if (!WindowExists(window)) return Bytes();
  RECT rect = {};
  if (!GetWindowRect(window, &rect)) return Bytes();
  int width = rect.right - rect.left;
  int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return Bytes();

  util::WindowDc screen(nullptr);
  if (!screen) return Bytes();
  util::UniqueBitmap bitmap(CreateCaptureBitmap(screen.get(), width, height));
  if (!bitmap) return Bytes();
  {
    util::MemoryDc memory(screen.get());
    if (!memory) return Bytes();
    memory.Select(bitmap.get());
    if (!PrintWindow(window, memory.get(), 0)) return Bytes();
  }  // the bitmap is out of the memory DC again before GetDIBits reads it

  BITMAP format = {};
  if (!GetObjectA(bitmap.get(), sizeof format, &format)) return Bytes();

  // Room after the header in case GetDIBits adds colour masks to the format query.
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD extra[256];
  } info = {};
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  if (!GetDIBits(screen.get(), bitmap.get(), 0, 0, nullptr, reinterpret_cast<BITMAPINFO*>(&info),
                 DIB_RGB_COLORS)) {
    return Bytes();
  }
  int bitCount = info.header.biBitCount;
  if (bitCount <= 8 || info.header.biWidth <= 0 || format.bmHeight <= 0) return Bytes();
  info.header.biCompression = BI_RGB;
  // The size of the pixel rows as they are about to be read, so that the buffer
  // always holds what GetDIBits writes.
  std::int64_t imageSize = Stride(info.header.biWidth, bitCount) * format.bmHeight;
  info.header.biHeight = format.bmHeight;  // positive: rows bottom-up
  info.header.biSizeImage = static_cast<DWORD>(imageSize);

  Bytes result(kHeadersSize + static_cast<std::size_t>(imageSize), 0);
  if (!GetDIBits(screen.get(), bitmap.get(), 0, static_cast<UINT>(format.bmHeight), result.data() + kHeadersSize,
                 reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS)) {
    return Bytes();
  }
  WriteFileHeader(result, kHeadersSize, static_cast<std::uint32_t>(result.size()));
  std::memcpy(result.data() + kFileHeaderSize, &info.header, kInfoHeaderSize);
  return result;
}

Bytes CropBmp(const Bytes& bmp, int x, int y, int width, int height) {
  return CropBmp(bmp.data(), bmp.size(), x, y, width, height);
}

Bytes CropBmp(const std::uint8_t* bmp, std::size_t size, int x, int y, int width, int height) {
  if (bmp == nullptr || size < kHeadersSize) return Bytes();
  std::int64_t sourceWidth = static_cast<std::int32_t>(ReadU32(bmp, 18));
  std::int64_t sourceHeight = static_cast<std::int32_t>(ReadU32(bmp, 22));
  int bitCount = ReadU16(bmp, 28);
  if (ReadU32(bmp, 30) != 0) return Bytes();  // only uncompressed RGB rows

  std::size_t dataOffset = kHeadersSize;
  int bytesPerPixel = 0;
  switch (bitCount) {
    case 32: bytesPerPixel = 4; break;
    case 24: bytesPerPixel = 3; break;
    case 16: bytesPerPixel = 2; break;
    case 8: bytesPerPixel = 1; dataOffset = kHeadersSize + kColourTableSize; break;
    default: return Bytes();
  }
  // Rows are read bottom-up; a top-down (negative height) or empty image is refused.
  if (sourceWidth <= 0 || sourceHeight <= 0) return Bytes();

  if (x < 0) x = 0;
  if (y < 0) y = 0;
  // A rectangle must start on a pixel of the image (x = width is already outside).
  if (x >= sourceWidth || y >= sourceHeight) return Bytes();
  if (width < 1 || height < 1) return Bytes();
  if (x + std::int64_t(width) > sourceWidth) width = static_cast<int>(sourceWidth - x);
  if (y + std::int64_t(height) > sourceHeight) height = static_cast<int>(sourceHeight - y);

  std::int64_t sourceStride = Stride(sourceWidth, bitCount);
  std::int64_t stride = Stride(width, bitCount);
  std::int64_t imageSize = stride * height;
  // The bottom row of the rectangle comes first.
  std::int64_t first = sourceStride * (sourceHeight - height - y) + std::int64_t(x) * bytesPerPixel;

  // Reads stop at the end of the source's pixel rows, or of the bytes given when
  // those are fewer. A row copy of one destination stride can reach a few padding
  // bytes past the last source row (24 and 16 bits): those stay zero. A rectangle
  // whose own pixels are not all in the bytes given is refused.
  std::int64_t sourceEnd = std::int64_t(dataOffset) + sourceStride * sourceHeight;
  if (sourceEnd > std::int64_t(size)) sourceEnd = std::int64_t(size);
  std::int64_t lastRowStart = std::int64_t(dataOffset) + first + (height - 1) * sourceStride;
  if (lastRowStart + std::int64_t(width) * bytesPerPixel > sourceEnd) return Bytes();

  std::int64_t resultSize = std::int64_t(dataOffset) + imageSize;
  if (resultSize > 0x7FFFFFFF) return Bytes();
  Bytes result(static_cast<std::size_t>(resultSize), 0);
  WriteFileHeader(result, static_cast<std::uint32_t>(dataOffset), static_cast<std::uint32_t>(resultSize));
  WriteU32(result, 14, kInfoHeaderSize);
  WriteU32(result, 18, static_cast<std::uint32_t>(width));
  WriteU32(result, 22, static_cast<std::uint32_t>(height));
  WriteU16(result, 26, 1);
  WriteU16(result, 28, static_cast<std::uint16_t>(bitCount));
  if (bitCount == 8) {
    // The header check above guarantees the colour table is inside the bytes given.
    std::memcpy(result.data() + kHeadersSize, bmp + kHeadersSize, kColourTableSize);
  }
  for (int row = 0; row < height; ++row) {
    std::int64_t from = std::int64_t(dataOffset) + first + std::int64_t(row) * sourceStride;
    std::int64_t count = stride;
    if (from + count > sourceEnd) count = sourceEnd - from;
    if (count <= 0) break;
    std::memcpy(result.data() + dataOffset + std::size_t(row) * std::size_t(stride), bmp + from,
                static_cast<std::size_t>(count));
  }
  return result;
}

bool ConvertImage(const Bytes& image, Bytes& output) {
  output.clear();
  if (image.size() <= 2) return false;
  // Declared in the reverse of the clean-up order: the second block is unlocked first,
  // then both streams are released, the bitmap disposed of, the first block freed and
  // GDI+ shut down last.
  GdiplusSession session;
  if (!session) return false;

  util::UniqueGlobal sourceBlock(GlobalAlloc(GMEM_MOVEABLE, image.size()));
  if (!sourceBlock) return false;
  {
    GlobalLockGuard lock(sourceBlock.get());
    if (!lock.address) return false;
    std::memcpy(lock.address, image.data(), image.size());
  }
  GdipBitmap bitmap;
  util::ComPtr<IStream> sourceStream;
  // The block stays ours (sourceBlock frees it): no delete on release.
  if (FAILED(CreateStreamOnHGlobal(sourceBlock.get(), FALSE, sourceStream.put()))) return false;
  if (Gdiplus::DllExports::GdipCreateBitmapFromStream(sourceStream.get(), &bitmap.bitmap) != Gdiplus::Ok) {
    return false;
  }

  util::ComPtr<IStream> encodedStream;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, encodedStream.put()))) return false;
  CLSID bmpEncoder = {};
  std::wstring clsidText = util::Widen(kBmpEncoderClsid);
  if (FAILED(CLSIDFromString(clsidText.c_str(), &bmpEncoder))) return false;
  if (Gdiplus::DllExports::GdipSaveImageToStream(bitmap.bitmap, encodedStream.get(), &bmpEncoder, nullptr) !=
      Gdiplus::Ok) {
    return false;
  }

  HGLOBAL encodedBlock = nullptr;
  if (FAILED(GetHGlobalFromStream(encodedStream.get(), &encodedBlock))) return false;
  GlobalLockGuard encoded(encodedBlock);
  if (!encoded.address) return false;
  // The block may be larger than the image; readers go by the image's own size fields.
  SIZE_T size = GlobalSize(encodedBlock);
  const auto* first = static_cast<const std::uint8_t*>(encoded.address);
  output.assign(first, first + size);
  return true;
}

}  // namespace host
