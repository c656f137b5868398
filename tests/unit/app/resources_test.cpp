// What the executable carries: the program icon (icon group and icon file) and the
// pictures of the form.
#include <gtest/gtest.h>

#include <cstring>

#include "ui/picture.h"
#include "app/resources.h"
#include "tests/support/test_support.h"

namespace {

std::uint32_t Le32(const Bytes& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

TEST(Resources, IconFileIsTheOne48By48ImageWithAlpha) {
  Bytes ico = app::LoadResourceBytes(app::kProgramIconFileId);
  ASSERT_EQ(ico.size(), 9662u);
  std::string onDisk;
  ASSERT_TRUE(support::ReadWholeFile(support::SourceDir() + "\\resources\\tandrel.ico", &onDisk));
  EXPECT_TRUE(onDisk.size() == ico.size() && std::memcmp(onDisk.data(), ico.data(), ico.size()) == 0);
  // ICONDIR: reserved 0, type 1 (icon), one image; its entry: 48 x 48, 32 bits, at 22.
  EXPECT_EQ(ico[0] | ico[1] << 8, 0);
  EXPECT_EQ(ico[2] | ico[3] << 8, 1);
  EXPECT_EQ(ico[4] | ico[5] << 8, 1);
  EXPECT_EQ(ico[6], 48);
  EXPECT_EQ(ico[7], 48);
  EXPECT_EQ(ico[12] | ico[13] << 8, 32);
  EXPECT_EQ(Le32(ico, 14), 9662u - 22u);
  EXPECT_EQ(Le32(ico, 18), 22u);
  EXPECT_EQ(Le32(ico, 22), 40u);  // BITMAPINFOHEADER, height doubled for the mask
  EXPECT_EQ(Le32(ico, 26), 48u);
  EXPECT_EQ(Le32(ico, 30), 96u);
  // Some pixels are see-through, some opaque.
  int clear = 0, opaque = 0;
  for (std::size_t i = 22 + 40; i < 22 + 40 + 48 * 48 * 4; i += 4) {
    clear += ico[i + 3] == 0;
    opaque += ico[i + 3] == 255;
  }
  EXPECT_GT(clear, 100);
  EXPECT_GT(opaque, 500);

  HICON icon = CreateIconFromResourceEx(ico.data() + 22, static_cast<DWORD>(ico.size() - 22), TRUE, 0x30000, 48, 48, 0);
  ASSERT_NE(icon, nullptr);
  DestroyIcon(icon);
}

TEST(Resources, IconGroupGivesTheWindowsIcon) {
  HICON icon = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(app::kProgramIconGroupId),
                                             IMAGE_ICON, 48, 48, 0));
  ASSERT_NE(icon, nullptr);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  BITMAP bitmap{};
  GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
  EXPECT_EQ(bitmap.bmWidth, 48);
  EXPECT_EQ(bitmap.bmHeight, 48);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  DestroyIcon(icon);
}

TEST(Resources, PicturesOfTheForm) {
  auto plus = ui::DecodePicture(app::LoadResourceBytes(app::kPlusPictureId));
  ASSERT_NE(plus, nullptr);
  EXPECT_EQ(plus->width, 50);
  EXPECT_EQ(plus->height, 50);
  auto at = [](const ui::Picture& p, int x, int y) { return p.pixels[y * p.width + x]; };
  EXPECT_EQ(at(*plus, 0, 0) >> 24, 0u);                // outside the disc
  EXPECT_EQ(at(*plus, 25, 25), 0xFFFFFFFFu);           // the plus, white
  std::uint32_t disc = at(*plus, 6, 25);               // the disc, opaque green
  EXPECT_EQ(disc >> 24, 0xFFu);
  EXPECT_GT(disc >> 8 & 0xFF, 2 * (disc >> 16 & 0xFF));

  auto tao = ui::DecodePicture(app::LoadResourceBytes(app::kTaoPictureId));
  ASSERT_NE(tao, nullptr);
  EXPECT_EQ(tao->width, 60);
  EXPECT_EQ(tao->height, 60);
  EXPECT_LT(at(*tao, 0, 0) >> 24, 0x80u);              // rounded corner
  std::uint32_t square = at(*tao, 3, 30);              // opaque red edge
  EXPECT_EQ(square >> 24, 0xFFu);
  EXPECT_GT(square >> 16 & 0xFF, 2 * (square >> 8 & 0xFF));
  int white = 0;                                       // the character
  for (std::uint32_t p : tao->pixels) white += p == 0xFFFFFFFFu;
  EXPECT_GT(white, 100);
}

}  // namespace
