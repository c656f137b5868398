// Cutting a rectangle out of BMP bytes, as the avatar needs from a window capture.
//
// Accepted: uncompressed bottom-up images of 32, 24, 16 or 8 bits per pixel (8 bits
// with their colour table, which is kept). A negative x or y counts as 0; a rectangle
// reaching past the right or bottom edge is clipped; one that starts outside the image
// or is empty gives nothing.
#include "host/bmp_crop.h"

#include <cstring>

#include "host/bmp_format.h"

namespace host {

Bytes CropBmp(const Bytes& image, int x, int y, int width, int height) {
  return CropBmp(image.data(), image.size(), x, y, width, height);
}

Bytes CropBmp(const std::uint8_t* data, std::size_t size, int x, int y, int width, int height) {
  if (data == nullptr || size < bmp::kHeadersSize) return Bytes();
  std::int64_t sourceWidth = static_cast<std::int32_t>(bmp::ReadU32(data, 18));
  std::int64_t sourceHeight = static_cast<std::int32_t>(bmp::ReadU32(data, 22));
  int bitCount = bmp::ReadU16(data, 28);
  if (bmp::ReadU32(data, 30) != 0) return Bytes();  // only uncompressed RGB rows

  std::size_t dataOffset = bmp::kHeadersSize;
  int bytesPerPixel = 0;
  switch (bitCount) {
    case 32: bytesPerPixel = 4; break;
    case 24: bytesPerPixel = 3; break;
    case 16: bytesPerPixel = 2; break;
    case 8: bytesPerPixel = 1; dataOffset = bmp::kHeadersSize + bmp::kColourTableSize; break;
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

  // A header may claim any size up to 2^31 by 2^31 pixels: stride times height would not
  // fit in 64 bits. Every product of a row count and a stride is capped just past the bytes
  // given (anything beyond them is refused all the same), so none of them can wrap.
  const std::int64_t given = static_cast<std::int64_t>(size);
  const auto capped = [given](std::int64_t a, std::int64_t b) -> std::int64_t {
    if (a == 0 || b == 0) return 0;
    return a > (given + 1) / b ? given + 1 : a * b;
  };
  std::int64_t sourceStride = bmp::Stride(sourceWidth, bitCount);  // at most 2^33
  std::int64_t stride = bmp::Stride(width, bitCount);
  // The bottom row of the rectangle comes first.
  std::int64_t first = capped(sourceStride, sourceHeight - height - y) + std::int64_t(x) * bytesPerPixel;

  // Reads stop at the end of the source's pixel rows, or of the bytes given when
  // those are fewer. A row copy of one destination stride can reach a few padding
  // bytes past the last source row (24 and 16 bits): those stay zero. A rectangle
  // whose own pixels are not all in the bytes given is refused.
  std::int64_t sourceEnd = std::int64_t(dataOffset) + capped(sourceStride, sourceHeight);
  if (sourceEnd > given) sourceEnd = given;
  std::int64_t lastRowStart = std::int64_t(dataOffset) + first + capped(height - 1, sourceStride);
  if (lastRowStart + std::int64_t(width) * bytesPerPixel > sourceEnd) return Bytes();
  // The rectangle's rows lie in the bytes given now; the result still gets its own bound
  // before its size is multiplied out.
  constexpr std::int64_t kLargestResult = 0x7FFFFFFF;
  if (height > (kLargestResult - std::int64_t(dataOffset)) / stride) return Bytes();
  std::int64_t imageSize = stride * height;
  std::int64_t resultSize = std::int64_t(dataOffset) + imageSize;
  Bytes result(static_cast<std::size_t>(resultSize), 0);
  bmp::WriteFileHeader(result, static_cast<std::uint32_t>(dataOffset), static_cast<std::uint32_t>(resultSize));
  bmp::WriteU32(result, 14, bmp::kInfoHeaderSize);
  bmp::WriteU32(result, 18, static_cast<std::uint32_t>(width));
  bmp::WriteU32(result, 22, static_cast<std::uint32_t>(height));
  bmp::WriteU16(result, 26, 1);
  bmp::WriteU16(result, 28, static_cast<std::uint16_t>(bitCount));
  if (bitCount == 8) {
    // The rectangle's pixels lie after the table, so the check above kept it whole.
    std::memcpy(result.data() + bmp::kHeadersSize, data + bmp::kHeadersSize, bmp::kColourTableSize);
  }
  for (int row = 0; row < height; ++row) {
    std::int64_t from = std::int64_t(dataOffset) + first + std::int64_t(row) * sourceStride;
    std::int64_t count = stride;
    if (from + count > sourceEnd) count = sourceEnd - from;
    if (count <= 0) break;
    std::memcpy(result.data() + dataOffset + std::size_t(row) * std::size_t(stride), data + from,
                static_cast<std::size_t>(count));
  }
  return result;
}

}  // namespace host
