#pragma once
// Small BMP fixtures for the avatar tests: images built byte by byte from a pixel
// function of their own (not by the code under test), buffers that end at a page
// the process may not read, and a reader for the BMP the code hands back.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "util/text.h"

namespace fixtures {

// Colour of the pixel at (x, y) counted from the top-left, as B, G, R (and for 16 bits
// the 5-5-5 word in `word`; for 8 bits the palette index in `index`).
struct Pixel {
  std::uint8_t b = 0, g = 0, r = 0;
};

// A bottom-up BMP with a 40-byte header. bitCount 32, 24, 16 (5-5-5) or 8 (with a
// 256-entry colour table). The pixel function gives the colour; for 8 bits it gives
// the index in its blue channel, and palette(i) the table's colour.
Bytes MakeBmp(int width, int height, int bitCount, const std::function<Pixel(int, int)>& pixel,
              const std::function<Pixel(int)>& palette = nullptr);
std::int64_t Stride(int width, int bitCount);

// A copy of bytes placed so that it ends exactly where a no-access page begins:
// reading one byte past its end faults.
class GuardedBuffer {
 public:
  explicit GuardedBuffer(const Bytes& bytes);
  ~GuardedBuffer();
  GuardedBuffer(const GuardedBuffer&) = delete;
  GuardedBuffer& operator=(const GuardedBuffer&) = delete;
  const std::uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }
  bool ok() const { return base_ != nullptr; }

 private:
  void* base_ = nullptr;
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

// Reads a little-endian field.
std::uint32_t U32(const Bytes& b, std::size_t at);
std::uint16_t U16(const Bytes& b, std::size_t at);

// The colour at (x, y) from the top-left of an uncompressed bottom-up 24- or 32-bit BMP
// with a 40-byte header (as GDI+ writes it), reading the data offset from the file.
Pixel PixelAt(const Bytes& bmp, int x, int y);

bool WriteFile(const std::string& path, const Bytes& bytes);
// The directory of the running test program, without a trailing backslash.
std::string ProgramDir();

}  // namespace fixtures
