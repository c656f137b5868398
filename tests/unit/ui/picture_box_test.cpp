// Picture boxes: decoding PNG and BMP files, and what each display mode paints.
#include <gtest/gtest.h>

#include "ui/picture.h"
#include "ui/units.h"
#include "form_test_util.h"

using formtest::Rgb;

namespace {

constexpr std::uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kClear = 0x00000000;
constexpr ui::Colour kBackground = 0x00808080;  // grey in both colour orders

// 50 by 50: top-left pixel red, the last two columns and rows blue, row 20 fully
// transparent, the rest green. A 48 by 48 window onto it shows no blue.
Bytes Fixture50() {
  std::vector<std::uint32_t> px(50 * 50, kGreen);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 50; ++x) {
      if (x >= 48 || y >= 48) px[y * 50 + x] = kBlue;
      if (y == 20) px[y * 50 + x] = kClear;
    }
  px[0] = kRed;
  return formtest::EncodePng(50, 50, px);
}

// 100 by 50: left half red, right half blue.
Bytes Fixture100x50() {
  std::vector<std::uint32_t> px(100 * 50);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 100; ++x) px[y * 100 + x] = x < 50 ? kRed : kBlue;
  return formtest::EncodePng(100, 50, px);
}

class PictureBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::InitialiseUiThread();
    ui::TopWindow::Design design;
    design.x = 10;
    design.y = 10;
    design.width = 400;
    design.height = 300;
    design.visible = false;
    window.Load(design);
    ASSERT_TRUE(window.Exists());
  }
  std::unique_ptr<ui::PictureBox> Box(int w, int h, ui::DisplayMode mode, const Bytes& picture) {
    auto box = std::make_unique<ui::PictureBox>(window, 0, 0, w, h, kBackground, mode);
    EXPECT_TRUE(box->SetPicture(picture));
    return box;
  }
  ui::TopWindow window;
};

TEST_F(PictureBoxTest, OwnSizeDrawsFromTheTopLeftOverTheBackground) {
  auto box = Box(60, 60, ui::DisplayMode::kOwnSizeTopLeft, Fixture50());
  formtest::Rendering r = formtest::Render(box->Handle());
  EXPECT_EQ(r.At(0, 0), Rgb(255, 0, 0));
  EXPECT_EQ(r.At(10, 10), Rgb(0, 255, 0));
  EXPECT_EQ(r.At(49, 49), Rgb(0, 0, 255));
  EXPECT_EQ(r.At(55, 55), Rgb(128, 128, 128));  // beyond the picture
  EXPECT_EQ(r.At(25, 20), Rgb(128, 128, 128));  // transparent row shows the background
}

TEST_F(PictureBoxTest, TiledBoxOfFortyEightShowsTheTopLeftOfTheFiftyPicture) {
  auto box = Box(48, 48, ui::DisplayMode::kTiled, Fixture50());
  formtest::Rendering r = formtest::Render(box->Handle());
  EXPECT_EQ(r.At(0, 0), Rgb(255, 0, 0));
  EXPECT_EQ(r.At(47, 47), Rgb(0, 255, 0));
  EXPECT_EQ(r.Count(Rgb(0, 0, 255)), 0);
}

TEST_F(PictureBoxTest, TiledRepeatsFromTheTopLeft) {
  auto box = Box(120, 60, ui::DisplayMode::kTiled, Fixture50());
  formtest::Rendering r = formtest::Render(box->Handle());
  EXPECT_EQ(r.At(50, 0), Rgb(255, 0, 0));   // second tile in the row
  EXPECT_EQ(r.At(100, 0), Rgb(255, 0, 0));  // third, cut at the box's edge
  EXPECT_EQ(r.At(0, 50), Rgb(255, 0, 0));   // second row of tiles
  EXPECT_EQ(r.At(49, 10), Rgb(0, 0, 255));
}

TEST_F(PictureBoxTest, CentredAtOwnSizeWhenItFits) {
  auto box = Box(80, 80, ui::DisplayMode::kCentred, Fixture50());
  formtest::Rendering r = formtest::Render(box->Handle());
  EXPECT_EQ(r.At(15, 15), Rgb(255, 0, 0));  // (80 - 50) / 2
  EXPECT_EQ(r.At(14, 15), Rgb(128, 128, 128));
  EXPECT_EQ(r.At(64, 64), Rgb(0, 0, 255));
  EXPECT_EQ(r.At(65, 65), Rgb(128, 128, 128));
}

TEST_F(PictureBoxTest, CentredScalesDownKeepingTheAspectRatio) {
  // 100 by 50 into 50 by 50: drawn 50 by 25 at (0, 12).
  auto box = Box(50, 50, ui::DisplayMode::kCentred, Fixture100x50());
  formtest::Rendering r = formtest::Render(box->Handle());
  EXPECT_EQ(r.At(25, 5), Rgb(128, 128, 128));
  EXPECT_EQ(r.At(25, 44), Rgb(128, 128, 128));
  EXPECT_EQ(r.At(10, 24), Rgb(255, 0, 0));
  EXPECT_EQ(r.At(40, 24), Rgb(0, 0, 255));
  int rowsWithPicture = 0;
  for (int y = 0; y < 50; ++y) rowsWithPicture += r.At(10, y) == Rgb(255, 0, 0);
  EXPECT_EQ(rowsWithPicture, 25);
}

TEST(CentredPlacement, Table) {
  struct Case { int boxW, boxH, picW, picH; ui::Placement expected; };
  const Case cases[] = {
      {80, 80, 50, 50, {15, 15, 50, 50}},    // the plus in a tab
      {80, 80, 36, 36, {22, 22, 36, 36}},    // an avatar
      {80, 80, 80, 80, {0, 0, 80, 80}},      // exactly fitting is not scaled
      {80, 80, 160, 100, {0, 15, 80, 50}},   // too wide
      {80, 80, 100, 200, {20, 0, 40, 80}},   // too tall
      {80, 80, 81, 10, {0, 35, 80, 9}},      // 9.87 truncated
      {48, 48, 50, 50, {0, 0, 48, 48}},
      {15, 15, 22, 22, {0, 0, 15, 15}},      // the limiting side fills the box exactly
      {15, 40, 22, 11, {0, 16, 15, 7}},      // 7.5 truncated
      {80, 80, 0, 0, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    ui::Placement p = ui::CentredPlacement(c.boxW, c.boxH, c.picW, c.picH);
    EXPECT_EQ(p.x, c.expected.x) << c.picW << "x" << c.picH;
    EXPECT_EQ(p.y, c.expected.y) << c.picW << "x" << c.picH;
    EXPECT_EQ(p.width, c.expected.width) << c.picW << "x" << c.picH;
    EXPECT_EQ(p.height, c.expected.height) << c.picW << "x" << c.picH;
  }
}

TEST_F(PictureBoxTest, DamagedFilesGiveNoPictureAndLeaveTheBackground) {
  Bytes good = Fixture50();
  Bytes truncated(good.begin(), good.begin() + good.size() / 2);
  Bytes flipped = good;
  for (std::size_t i = 60; i < flipped.size() - 20; i += 7) flipped[i] ^= 0x5A;  // inside IDAT
  Bytes signatureOnly(good.begin(), good.begin() + 8);
  Bytes bmpHeaderOnly = {'B', 'M', 0, 0, 0, 0};
  const Bytes cases[] = {Bytes(), truncated, flipped, signatureOnly, bmpHeaderOnly, Bytes(100, 0xFF)};
  for (const Bytes& bytes : cases) {
    auto box = std::make_unique<ui::PictureBox>(window, 0, 0, 60, 60, kBackground,
                                                  ui::DisplayMode::kOwnSizeTopLeft);
    EXPECT_FALSE(box->SetPicture(bytes)) << bytes.size();
    EXPECT_FALSE(box->HasPicture());
    formtest::Rendering r = formtest::Render(box->Handle());
    EXPECT_EQ(r.Count(Rgb(128, 128, 128)), 60 * 60);
  }
}

TEST_F(PictureBoxTest, ClearPictureLeavesTheBackground) {
  auto box = Box(60, 60, ui::DisplayMode::kOwnSizeTopLeft, Fixture50());
  box->ClearPicture();
  EXPECT_FALSE(box->HasPicture());
  EXPECT_EQ(formtest::Render(box->Handle()).Count(Rgb(128, 128, 128)), 60 * 60);
}

// A 24-bit bitmap file as the avatars arrive: 3 by 2, bottom-up rows padded to 4 bytes.
Bytes Bmp24() {
  Bytes b = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,      // file header, pixels at 54
             40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0,  // 3 x 2, 24 bits
             0, 0, 0, 0, 24, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  // Bottom row (y = 1): blue, blue, blue. Top row (y = 0): red, green, white. BGR order.
  const std::uint8_t bottom[] = {255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 0, 0};
  const std::uint8_t top[] = {0, 0, 255, 0, 255, 0, 255, 255, 255, 0, 0, 0};
  b.insert(b.end(), bottom, bottom + 12);
  b.insert(b.end(), top, top + 12);
  b[2] = static_cast<std::uint8_t>(b.size());
  return b;
}

TEST_F(PictureBoxTest, BitmapFilesAreShownTheRightWayUp) {
  auto box = Box(10, 10, ui::DisplayMode::kOwnSizeTopLeft, Bmp24());
  formtest::Rendering r = formtest::Render(box->Handle());
  EXPECT_EQ(r.At(0, 0), Rgb(255, 0, 0));
  EXPECT_EQ(r.At(1, 0), Rgb(0, 255, 0));
  EXPECT_EQ(r.At(2, 0), Rgb(255, 255, 255));
  EXPECT_EQ(r.At(1, 1), Rgb(0, 0, 255));
  EXPECT_EQ(r.At(5, 5), Rgb(128, 128, 128));
}

TEST(DecodeBmp, RefusesFilesWhosePixelsRunPastTheEnd) {
  Bytes bmp = Bmp24();
  EXPECT_NE(ui::DecodeBmp(bmp), nullptr);
  bmp.pop_back();
  EXPECT_EQ(ui::DecodeBmp(bmp), nullptr);
  Bytes rle = Bmp24();
  rle[30] = 1;  // BI_RLE8 is not taken
  EXPECT_EQ(ui::DecodeBmp(rle), nullptr);
  Bytes huge = Bmp24();
  huge[18] = 0xFF, huge[19] = 0xFF, huge[20] = 0xFF, huge[21] = 0x7F;  // width 2^31 - 1
  EXPECT_EQ(ui::DecodeBmp(huge), nullptr);
}

}  // namespace
