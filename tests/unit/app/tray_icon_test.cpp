// The tray icon made from the carried icon file.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/tray.h"
#include "tests/support/test_support.h"

namespace {

Bytes IconFile() {
  std::string bytes;
  EXPECT_TRUE(support::ReadWholeFile(support::SourceDir() + "\\resources\\tandrel.ico", &bytes));
  return Bytes(bytes.begin(), bytes.end());
}

std::uint32_t Little32(const Bytes& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

TEST(TrayIcon, ImageOfTheCarriedIconFileMakesA48By48Icon) {
  const Bytes file = IconFile();
  ASSERT_EQ(file.size(), 9662u);
  const Bytes image = app::FirstIconImage(file);
  // One 48x48 32-bit image: BITMAPINFOHEADER (40) + 48*48*4 colour bytes + 48 rows of 8-byte mask.
  ASSERT_EQ(image.size(), 40u + 48 * 48 * 4 + 48 * 8);
  EXPECT_EQ(Little32(image, 0), 40u);   // biSize
  EXPECT_EQ(Little32(image, 4), 48u);   // biWidth
  EXPECT_EQ(Little32(image, 8), 96u);   // biHeight: colour and mask
  HICON icon = CreateIconFromResourceEx(const_cast<PBYTE>(image.data()), static_cast<DWORD>(image.size()),
                                        TRUE, 0x30000, 48, 48, LR_DEFAULTCOLOR);
  ASSERT_NE(icon, nullptr);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  BITMAP colour{};
  GetObjectA(info.hbmColor, sizeof colour, &colour);
  EXPECT_EQ(colour.bmWidth, 48);
  EXPECT_EQ(colour.bmHeight, 48);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  DestroyIcon(icon);
}

TEST(TrayIcon, BytesThatAreNoIconFileGiveNoImage) {
  const Bytes file = IconFile();
  ASSERT_GE(file.size(), 22u);
  Bytes cursor = file;
  cursor[2] = 2;  // type 2 is a cursor file
  Bytes noImages = file;
  noImages[4] = noImages[5] = 0;
  const Bytes cases[] = {Bytes(), Bytes(file.begin(), file.begin() + 21),
                         Bytes(file.begin(), file.end() - 1),  // image runs past the end
                         cursor, noImages};
  for (const Bytes& bytes : cases) EXPECT_TRUE(app::FirstIconImage(bytes).empty()) << bytes.size();
  // And no tray icon is handed to the shell for them.
  EXPECT_FALSE(app::SetTrayIcon(nullptr, cursor, "Tandrel"));
}

TEST(TrayIcon, TipIsCutTo62BytesOnACharacterBoundary) {
  EXPECT_EQ(app::CutTrayTip("Tandrel"), "Tandrel");
  EXPECT_EQ(app::CutTrayTip(std::string(70, 'a')), std::string(62, 'a'));
  // 61 ASCII bytes then a two-byte character: it does not fit whole, so it goes.
  EXPECT_EQ(app::CutTrayTip(std::string(61, 'a') + "微信"), std::string(61, 'a'));
  EXPECT_EQ(app::CutTrayTip(std::string(60, 'a') + "微信"), std::string(60, 'a') + "微");
}

}  // namespace
