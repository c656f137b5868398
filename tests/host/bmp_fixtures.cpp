#include "tests/host/bmp_fixtures.h"

#include <cstdio>
#include <cstring>

namespace fixtures {
namespace {
void Put16(Bytes& b, std::size_t at, std::uint32_t v) {
  b[at] = std::uint8_t(v);
  b[at + 1] = std::uint8_t(v >> 8);
}
void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = std::uint8_t(v >> (8 * i));
}
}  // namespace

std::int64_t Stride(int width, int bitCount) { return ((std::int64_t(width) * bitCount + 31) / 32) * 4; }

Bytes MakeBmp(int width, int height, int bitCount, const std::function<Pixel(int, int)>& pixel,
              const std::function<Pixel(int)>& palette) {
  std::size_t offset = bitCount == 8 ? 54 + 1024 : 54;
  std::size_t stride = static_cast<std::size_t>(Stride(width, bitCount));
  std::size_t image = stride * static_cast<std::size_t>(height);
  Bytes b(offset + image, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, std::uint32_t(b.size()));
  Put32(b, 10, std::uint32_t(offset));
  Put32(b, 14, 40);
  Put32(b, 18, std::uint32_t(width));
  Put32(b, 22, std::uint32_t(height));
  Put16(b, 26, 1);
  Put16(b, 28, std::uint32_t(bitCount));
  Put32(b, 34, std::uint32_t(image));
  if (bitCount == 8) {
    for (int i = 0; i < 256; ++i) {
      Pixel p = palette(i);
      b[54 + 4 * i] = p.b;
      b[54 + 4 * i + 1] = p.g;
      b[54 + 4 * i + 2] = p.r;
    }
  }
  for (int y = 0; y < height; ++y) {
    std::size_t row = offset + static_cast<std::size_t>(height - 1 - y) * stride;  // bottom-up
    for (int x = 0; x < width; ++x) {
      Pixel p = pixel(x, y);
      switch (bitCount) {
        case 32:
        case 24: {
          std::size_t at = row + static_cast<std::size_t>(x) * (bitCount / 8);
          b[at] = p.b;
          b[at + 1] = p.g;
          b[at + 2] = p.r;
          break;
        }
        case 16: {
          std::uint32_t word = (std::uint32_t(p.r >> 3) << 10) | (std::uint32_t(p.g >> 3) << 5) | (p.b >> 3);
          Put16(b, row + static_cast<std::size_t>(x) * 2, word);
          break;
        }
        case 8:
          b[row + static_cast<std::size_t>(x)] = p.b;
          break;
      }
    }
  }
  return b;
}

GuardedBuffer::GuardedBuffer(const Bytes& bytes) : size_(bytes.size()) {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  std::size_t page = info.dwPageSize;
  std::size_t dataPages = (bytes.size() + page - 1) / page;
  if (dataPages == 0) dataPages = 1;
  base_ = VirtualAlloc(nullptr, (dataPages + 1) * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (!base_) return;
  auto* guard = static_cast<std::uint8_t*>(base_) + dataPages * page;
  DWORD old = 0;
  if (!VirtualProtect(guard, page, PAGE_NOACCESS, &old)) {
    VirtualFree(base_, 0, MEM_RELEASE);
    base_ = nullptr;
    return;
  }
  auto* start = guard - bytes.size();
  if (!bytes.empty()) std::memcpy(start, bytes.data(), bytes.size());
  data_ = start;
}

GuardedBuffer::~GuardedBuffer() {
  if (base_) VirtualFree(base_, 0, MEM_RELEASE);
}

std::uint32_t U32(const Bytes& b, std::size_t at) {
  return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
         std::uint32_t(b[at + 3]) << 24;
}
std::uint16_t U16(const Bytes& b, std::size_t at) { return std::uint16_t(b[at] | b[at + 1] << 8); }

Pixel PixelAt(const Bytes& bmp, int x, int y) {
  std::size_t offset = U32(bmp, 10);
  int width = static_cast<int>(U32(bmp, 18));
  int height = static_cast<int>(U32(bmp, 22));
  int bits = U16(bmp, 28);
  std::size_t stride = static_cast<std::size_t>(Stride(width, bits));
  std::size_t at = offset + static_cast<std::size_t>(height - 1 - y) * stride + static_cast<std::size_t>(x) * (bits / 8);
  Pixel p;
  if (at + 3 > bmp.size()) return p;
  p.b = bmp[at];
  p.g = bmp[at + 1];
  p.r = bmp[at + 2];
  return p;
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

std::string ProgramDir() {
  char path[MAX_PATH] = {};
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s(path, n);
  std::size_t slash = s.find_last_of('\\');
  return slash == std::string::npos ? std::string(".") : s.substr(0, slash);
}

}  // namespace fixtures
