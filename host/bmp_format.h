#pragma once
// The BMP file layout that the capture writes and the crop reads: a 14-byte file
// header, a 40-byte information header, for 8-bit images a 256-entry colour table,
// then bottom-up pixel rows padded to a multiple of 4 bytes. Integers are little-endian.
#include <cstddef>
#include <cstdint>

#include "util/text.h"

namespace host {
namespace bmp {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kHeadersSize = kFileHeaderSize + kInfoHeaderSize;  // 54
constexpr std::size_t kColourTableSize = 1024;                            // 256 entries
constexpr std::uint16_t kFileType = 19778;                                // "BM"

inline std::uint32_t ReadU32(const std::uint8_t* b, std::size_t at) {
  return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
         std::uint32_t(b[at + 3]) << 24;
}
inline std::uint16_t ReadU16(const std::uint8_t* b, std::size_t at) {
  return std::uint16_t(b[at] | b[at + 1] << 8);
}
inline void WriteU32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = std::uint8_t(v >> (8 * i));
}
inline void WriteU16(Bytes& b, std::size_t at, std::uint16_t v) {
  b[at] = std::uint8_t(v);
  b[at + 1] = std::uint8_t(v >> 8);
}

// Bytes per pixel row, padded to a multiple of 4.
inline std::int64_t Stride(std::int64_t width, int bitCount) { return ((width * bitCount + 31) >> 5) << 2; }

inline void WriteFileHeader(Bytes& b, std::uint32_t dataOffset, std::uint32_t fileSize) {
  WriteU16(b, 0, kFileType);
  WriteU32(b, 2, fileSize);
  WriteU32(b, 6, 0);  // both reserved fields
  WriteU32(b, 10, dataOffset);
}

}  // namespace bmp
}  // namespace host
