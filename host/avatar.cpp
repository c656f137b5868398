// The avatar of an adopted client: its window rendered into a bitmap, the square near
// the top-left corner cut out, and the result re-encoded by GDI+. Images pass between
// the steps as BMP file bytes.
#include "host/avatar.h"

#include <cstdint>
#include <cstring>

#include "host/bmp_format.h"
#include "host/gdiplus_session.h"
#include "util/log.h"
#include "util/unique_resource.h"

namespace host {
namespace {

constexpr int kAvatarX = 9;
constexpr int kAvatarY = 36;
constexpr int kAvatarSize = 36;

const char kBmpEncoderClsid[] = "{557CF400-1A04-11D3-9A73-0000F81EF32E}";

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

// GDI+ bitmap owner, within its session.
struct GdipBitmap {
  const GdiplusSession& session;
  Gdiplus::GpBitmap* bitmap = nullptr;
  ~GdipBitmap() {
    if (bitmap) session.DisposeImage(bitmap);
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
  if (!IsWindow(window)) return Bytes();
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
  std::int64_t imageSize = bmp::Stride(info.header.biWidth, bitCount) * format.bmHeight;
  info.header.biHeight = format.bmHeight;  // positive: rows bottom-up
  info.header.biSizeImage = static_cast<DWORD>(imageSize);

  Bytes result(bmp::kHeadersSize + static_cast<std::size_t>(imageSize), 0);
  if (!GetDIBits(screen.get(), bitmap.get(), 0, static_cast<UINT>(format.bmHeight), result.data() + bmp::kHeadersSize,
                 reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS)) {
    return Bytes();
  }
  bmp::WriteFileHeader(result, bmp::kHeadersSize, static_cast<std::uint32_t>(result.size()));
  std::memcpy(result.data() + bmp::kFileHeaderSize, &info.header, bmp::kInfoHeaderSize);
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
  GdipBitmap bitmap{session};
  util::ComPtr<IStream> sourceStream;
  // The block stays ours (sourceBlock frees it): no delete on release.
  if (FAILED(CreateStreamOnHGlobal(sourceBlock.get(), FALSE, sourceStream.put()))) return false;
  if (session.CreateBitmapFromStream(sourceStream.get(), &bitmap.bitmap) != Gdiplus::Ok) {
    return false;
  }

  util::ComPtr<IStream> encodedStream;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, encodedStream.put()))) return false;
  CLSID bmpEncoder = {};
  std::wstring clsidText = util::Widen(kBmpEncoderClsid);
  if (FAILED(CLSIDFromString(clsidText.c_str(), &bmpEncoder))) return false;
  if (session.SaveImageToStream(bitmap.bitmap, encodedStream.get(), &bmpEncoder) != Gdiplus::Ok) {
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
