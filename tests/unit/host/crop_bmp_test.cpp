// Cropping BMP bytes: one table of cases. Sources are built by the test's own BMP
// writer and handed over in buffers that end at a no-access page, so a read past the
// end crashes the test. Every non-empty result is also written out with its source and
// decoded by ImageMagick in the check `host_crop_bmp_decoded` (check_crops.py).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "host/bmp_crop.h"
#include "tests/fixtures/bmp/bmp_fixtures.h"

namespace {

using fixtures::Pixel;

Pixel Pattern(int x, int y) {
  // Unique for every pixel of an image up to 4096 by 4096.
  return Pixel{std::uint8_t(x & 0xFF), std::uint8_t(y & 0xFF), std::uint8_t(((x >> 8) & 0xF) | ((y >> 8) << 4))};
}
Pixel Pattern16(int x, int y) {
  // Channels that survive 5-5-5 unchanged (multiples of 8).
  return Pixel{std::uint8_t(((x * 3 + y) & 31) << 3), std::uint8_t(((y * 5 + 1) & 31) << 3),
               std::uint8_t(((x + y * 7 + 2) & 31) << 3)};
}
Pixel Index8(int x, int y) { return Pixel{std::uint8_t((x * 7 + y * 13) & 0xFF), 0, 0}; }
Pixel Palette(int i) { return Pixel{std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t((i * 37) & 0xFF)}; }

// kForgedSize: the header claims 0x7FFFFFFF by 0x7FFFFFFE pixels (stride times height does
// not fit in 64 bits) over the few bytes of a small image.
enum class Damage { kNone, kCompressed, kFourBits, kTopDown, kForgedSize };

struct CropCase {
  const char* name;
  int bits, width, height;
  int x, y, w, h;
  std::size_t cutFromEnd;  // bytes missing at the end of the source
  Damage damage;
  bool empty;              // expected: no result
  int ex, ey, ew, eh;      // expected rectangle of the source (top-left origin)
};

const CropCase kCases[] = {
    // The avatar square of an 800 by 600 capture.
    {"avatar32", 32, 800, 600, 9, 36, 36, 36, 0, Damage::kNone, false, 9, 36, 36, 36},
    {"clip_right", 32, 800, 600, 790, 36, 36, 36, 0, Damage::kNone, false, 790, 36, 10, 36},
    {"clip_bottom", 32, 800, 600, 9, 590, 36, 36, 0, Damage::kNone, false, 9, 590, 36, 10},
    {"start_right_of_image", 32, 800, 600, 900, 36, 36, 36, 0, Damage::kNone, true},
    {"start_at_width", 32, 800, 600, 800, 36, 36, 36, 0, Damage::kNone, true},
    {"start_below_image", 32, 800, 600, 9, 600, 36, 36, 0, Damage::kNone, true},
    {"negative_raised_to_zero", 32, 800, 600, -5, -7, 36, 36, 0, Damage::kNone, false, 0, 0, 36, 36},
    {"zero_width", 32, 800, 600, 9, 36, 0, 36, 0, Damage::kNone, true},
    {"zero_height", 32, 800, 600, 9, 36, 36, 0, 0, Damage::kNone, true},
    {"rgb24", 24, 50, 40, 3, 5, 17, 9, 0, Damage::kNone, false, 3, 5, 17, 9},
    // The rectangle's top row is the source's last row; its padded copy reaches past it.
    {"rgb24_last_row_padding", 24, 40, 12, 35, 0, 5, 4, 0, Damage::kNone, false, 35, 0, 5, 4},
    {"rgb16", 16, 30, 20, 4, 2, 9, 7, 0, Damage::kNone, false, 4, 2, 9, 7},
    {"rgb16_last_row_padding", 16, 10, 8, 1, 0, 9, 8, 0, Damage::kNone, false, 1, 0, 9, 8},
    {"pal8", 8, 100, 80, 10, 20, 30, 40, 0, Damage::kNone, false, 10, 20, 30, 40},
    {"pal8_last_row_padding", 8, 12, 6, 11, 0, 1, 6, 0, Damage::kNone, false, 11, 0, 1, 6},
    {"compressed_refused", 32, 64, 64, 0, 0, 8, 8, 0, Damage::kCompressed, true},
    {"four_bits_refused", 32, 64, 64, 0, 0, 8, 8, 0, Damage::kFourBits, true},
    {"top_down_refused", 32, 64, 64, 0, 0, 8, 8, 0, Damage::kTopDown, true},
    {"forged_size_avatar", 32, 4, 4, 9, 36, 36, 36, 0, Damage::kForgedSize, true},
    {"forged_size_corner", 32, 4, 4, 0, 0, 4, 4, 0, Damage::kForgedSize, true},
    {"forged_size_pal8", 8, 4, 4, 0, 0, 1, 1, 0, Damage::kForgedSize, true},
    // Cut in the image's top row (the last bytes): a rectangle lower down is whole,
    // one that needs the missing pixels gives nothing.
    {"truncated_rect_intact", 32, 800, 600, 9, 36, 36, 36, 100, Damage::kNone, false, 9, 36, 36, 36},
    {"truncated_rect_cut", 32, 800, 600, 780, 0, 20, 10, 100, Damage::kNone, true},
    {"truncated_to_header", 32, 800, 600, 9, 36, 36, 36, 1920000 + 10, Damage::kNone, true},
    {"truncated_colour_table", 8, 100, 80, 0, 0, 4, 4, 8000 + 500, Damage::kNone, true},
};

Bytes SourceFor(const CropCase& c) {
  if (c.bits == 8) return fixtures::MakeBmp(c.width, c.height, 8, Index8, Palette);
  return fixtures::MakeBmp(c.width, c.height, c.bits, c.bits == 16 ? Pattern16 : Pattern);
}

TEST(CropBmp, TableOfCases) {
  std::string dir = fixtures::ProgramDir() + "\\host_crop_cases";
  CreateDirectoryA(dir.c_str(), nullptr);
  // No stale list from an earlier run may reach the decoding check.
  DeleteFileA((dir + "\\manifest.txt").c_str());
  std::string manifest;
  for (const CropCase& c : kCases) {
    SCOPED_TRACE(c.name);
    Bytes source = SourceFor(c);
    Bytes given = source;
    if (c.damage == Damage::kCompressed) given[30] = 3;  // BI_BITFIELDS
    if (c.damage == Damage::kFourBits) given[28] = 4;
    if (c.damage == Damage::kTopDown) {
      std::int32_t negative = -c.height;
      std::memcpy(&given[22], &negative, 4);
    }
    if (c.damage == Damage::kForgedSize) {
      const std::int32_t forgedWidth = 0x7FFFFFFF, forgedHeight = 0x7FFFFFFE;
      std::memcpy(&given[18], &forgedWidth, 4);
      std::memcpy(&given[22], &forgedHeight, 4);
    }
    ASSERT_LT(c.cutFromEnd, given.size());
    given.resize(given.size() - c.cutFromEnd);
    fixtures::GuardedBuffer guarded(given);
    ASSERT_TRUE(guarded.ok());

    Bytes out = host::CropBmp(guarded.data(), guarded.size(), c.x, c.y, c.w, c.h);
    if (c.empty) {
      EXPECT_TRUE(out.empty());
      continue;
    }
    std::size_t offset = c.bits == 8 ? 1078 : 54;
    std::size_t stride = static_cast<std::size_t>(fixtures::Stride(c.ew, c.bits));
    ASSERT_EQ(out.size(), offset + stride * c.eh);
    EXPECT_EQ(out[0], 'B');
    EXPECT_EQ(out[1], 'M');
    EXPECT_EQ(fixtures::U32(out, 2), out.size());
    EXPECT_EQ(fixtures::U32(out, 10), offset);
    EXPECT_EQ(fixtures::U32(out, 14), 40u);
    EXPECT_EQ(fixtures::U32(out, 18), std::uint32_t(c.ew));
    EXPECT_EQ(fixtures::U32(out, 22), std::uint32_t(c.eh));
    EXPECT_EQ(fixtures::U16(out, 26), 1u);
    EXPECT_EQ(fixtures::U16(out, 28), std::uint32_t(c.bits));
    EXPECT_EQ(fixtures::U32(out, 30), 0u);
    if (c.bits == 8) {
      EXPECT_TRUE(std::equal(out.begin() + 54, out.begin() + 1078, source.begin() + 54)) << "colour table";
    }
    fixtures::WriteFile(dir + "\\" + c.name + "_src.bmp", source);
    fixtures::WriteFile(dir + "\\" + c.name + "_out.bmp", out);
    manifest += std::string(c.name) + " " + std::to_string(c.ex) + " " + std::to_string(c.ey) + " " +
                std::to_string(c.ew) + " " + std::to_string(c.eh) + "\n";
  }
  ASSERT_TRUE(fixtures::WriteFile(dir + "\\manifest.txt", Bytes(manifest.begin(), manifest.end())));
}

TEST(CropBmp, AvatarSquareOf800By600CaptureStartsAtWindowRow71Column9) {
  Bytes capture = fixtures::MakeBmp(800, 600, 32, Pattern);
  ASSERT_EQ(capture.size(), 54u + 1920000u);
  Bytes square = host::CropBmp(capture, 9, 36, 36, 36);
  ASSERT_EQ(square.size(), 54u + 5184u);
  // The first stored row is the square's bottom row; its first pixel is window (9, 71).
  Pixel expected = Pattern(9, 71);
  EXPECT_EQ(square[54], expected.b);
  EXPECT_EQ(square[55], expected.g);
  EXPECT_EQ(square[56], expected.r);
  // And the last stored row starts at window (9, 36).
  Pixel top = Pattern(9, 36);
  EXPECT_EQ(square[54 + 35 * 144], top.b);
  EXPECT_EQ(square[54 + 35 * 144 + 1], top.g);
}

TEST(CropBmp, EmptyOrShortBytesGiveNothing) {
  EXPECT_TRUE(host::CropBmp(Bytes(), 9, 36, 36, 36).empty());
  Bytes header = fixtures::MakeBmp(8, 8, 32, Pattern);
  header.resize(53);
  fixtures::GuardedBuffer guarded(header);
  EXPECT_TRUE(host::CropBmp(guarded.data(), guarded.size(), 0, 0, 4, 4).empty());
}

}  // namespace
