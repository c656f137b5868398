// Capturing a window's avatar and re-encoding images with GDI+, on windows of this
// process that paint for WM_PRINTCLIENT (PrintWindow draws those under Wine too).
#include <gtest/gtest.h>

#include "host/avatar.h"
#include "host/gdiplus_session.h"
#include "tests/fixtures/bmp/bmp_fixtures.h"
#include "tests/fixtures/windows/test_windows.h"

namespace {

using fixtures::Pixel;

bool Same(Pixel p, COLORREF c) { return p.r == GetRValue(c) && p.g == GetGValue(c) && p.b == GetBValue(c); }

TEST(ConvertImage, TwoBytesAreRefusedBeforeGdiplusStarts) {
  int before = host::GdiplusSession::StartedCount();
  Bytes output{1, 2, 3};
  EXPECT_FALSE(host::ConvertImage(Bytes{'B', 'M'}, output));
  EXPECT_TRUE(output.empty());
  EXPECT_FALSE(host::ConvertImage(Bytes(), output));
  EXPECT_EQ(host::GdiplusSession::StartedCount(), before);
  // Three bytes are worth a try: GDI+ starts, cannot decode them, and says so.
  EXPECT_FALSE(host::ConvertImage(Bytes{'B', 'M', 0}, output));
  EXPECT_EQ(host::GdiplusSession::StartedCount(), before + 1);
}

TEST(ConvertImage, ReencodesABmpKeepingItsPixels) {
  auto pattern = [](int x, int y) { return Pixel{std::uint8_t(x * 20), std::uint8_t(y * 30), 77}; };
  Bytes source = fixtures::MakeBmp(9, 7, 24, pattern);
  Bytes output;
  ASSERT_TRUE(host::ConvertImage(source, output));
  ASSERT_GE(output.size(), 54u);
  EXPECT_EQ(output[0], 'B');
  EXPECT_EQ(output[1], 'M');
  EXPECT_EQ(fixtures::U32(output, 18), 9u);
  EXPECT_EQ(fixtures::U32(output, 22), 7u);
  ASSERT_GE(output.size(), fixtures::U32(output, 2));
  for (int y = 0; y < 7; ++y) {
    for (int x = 0; x < 9; ++x) {
      Pixel got = fixtures::PixelAt(output, x, y);
      Pixel want = pattern(x, y);
      ASSERT_TRUE(got.r == want.r && got.g == want.g && got.b == want.b) << x << "," << y;
    }
  }
}

TEST(ConvertImage, LeavesGdiplusUnloadedWhenDone) {
  Bytes output;
  ASSERT_TRUE(host::ConvertImage(fixtures::MakeBmp(4, 4, 24, [](int, int) { return Pixel{1, 2, 3}; }), output));
  EXPECT_EQ(GetModuleHandleW(L"gdiplus.dll"), nullptr);
}

TEST(CaptureWindowBmp, HoldsTheWholeWindowAtTheDisplaysDepth) {
  fixtures::PaintedWindow window("capture", 100, 100, 210, 160);
  ASSERT_NE(window.hwnd(), nullptr);
  RECT rect;
  GetWindowRect(window.hwnd(), &rect);
  Bytes bmp = host::CaptureWindowBmp(window.hwnd());
  ASSERT_GE(bmp.size(), 54u);
  int bits = fixtures::U16(bmp, 28);
  EXPECT_GT(bits, 8);
  EXPECT_EQ(fixtures::U32(bmp, 10), 54u);
  EXPECT_EQ(fixtures::U32(bmp, 18), std::uint32_t(rect.right - rect.left));
  EXPECT_EQ(fixtures::U32(bmp, 22), std::uint32_t(rect.bottom - rect.top));
  EXPECT_EQ(fixtures::U32(bmp, 30), 0u);
  EXPECT_EQ(bmp.size(), 54u + fixtures::Stride(rect.right - rect.left, bits) * (rect.bottom - rect.top));
  EXPECT_EQ(fixtures::U32(bmp, 2), bmp.size());
}

TEST(CaptureAvatar, IsTheSquareAt9And36OfTheWindowImage) {
  const COLORREF square = RGB(200, 40, 120);
  // Frameless, as the client's main window is: the client area is the whole window.
  fixtures::PaintedWindow window("avatar", 120, 90, 300, 200, RGB(20, 120, 40), square, RGB(250, 250, 0), 0,
                                 WS_POPUP);
  ASSERT_NE(window.hwnd(), nullptr);
  Bytes avatar = host::CaptureAvatar(window.hwnd());
  ASSERT_GE(avatar.size(), 54u);
  ASSERT_EQ(avatar[0], 'B');
  ASSERT_EQ(fixtures::U32(avatar, 18), 36u);
  ASSERT_EQ(fixtures::U32(avatar, 22), 36u);
  int wrong = 0;
  for (int y = 0; y < 36; ++y) {
    for (int x = 0; x < 36; ++x) {
      if (!Same(fixtures::PixelAt(avatar, x, y), square)) ++wrong;
    }
  }
  // The ring just outside the square would show on any edge if the cut were one off.
  EXPECT_EQ(wrong, 0);
}

TEST(CaptureWindowBmp, FramedWindowUnderWineHoldsOnlyTheClientArea) {
  const COLORREF background = RGB(20, 120, 40);
  fixtures::PaintedWindow window("framed", 100, 100, 300, 200, background);
  RECT rect;
  GetWindowRect(window.hwnd(), &rect);
  POINT client = {0, 0};
  ClientToScreen(window.hwnd(), &client);
  ASSERT_GT(client.y - rect.top, 0) << "the window has a title bar";
  Bytes bmp = host::CaptureWindowBmp(window.hwnd());
  ASSERT_GE(bmp.size(), 54u);
  Pixel corner = fixtures::PixelAt(bmp, 0, 0);
  Pixel atClient = fixtures::PixelAt(bmp, client.x - rect.left, client.y - rect.top);
  if (fixtures::RunningUnderWine()) {
    // Wine's PrintWindow draws no frame and puts the client area at the bitmap's origin,
    // so on a framed window the avatar square would be cut from the wrong place. The
    // client's main window has no frame (see the test above), so its avatar is not affected.
    EXPECT_TRUE(Same(corner, background));
  } else {
    // Windows draws the frame with the client area at its offset.
    EXPECT_FALSE(Same(corner, background));
    EXPECT_TRUE(Same(atClient, background));
  }
}

TEST(CaptureAvatar, OfADestroyedWindowIsEmpty) {
  fixtures::PaintedWindow window("gone", 100, 100, 200, 150);
  HWND hwnd = window.hwnd();
  window.Destroy();
  ASSERT_FALSE(IsWindow(hwnd));
  EXPECT_TRUE(host::CaptureWindowBmp(hwnd).empty());
  EXPECT_TRUE(host::CaptureAvatar(hwnd).empty());
}

}  // namespace
