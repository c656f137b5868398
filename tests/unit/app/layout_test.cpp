// The main window's layout over screen sizes, and the small pure rules beside it.
#include <gtest/gtest.h>

#include "ui/units.h"
#include "app/layout.h"
#include "app/main_form.h"

namespace {

struct LayoutCase {
  int screenWidth, screenHeight;
  int left, top, width, height;
  int panelLeft, paneWidth, paneHeight;
  int noticeTop, columnHeight;
  int hintTextLeft, hintTextTop, hintPictureLeft, hintPictureTop;
};

TEST(Layout, TableOfScreens) {
  const LayoutCase cases[] = {
      // 60 % is enough: 1152 x 648 centred; panel at 997, pane 914 x 599.
      {1920, 1080, 384, 216, 1152, 648, 997, 914, 599, 600, 602, 319, 239, 515, 255},
      // 614 x 460 grows to 938 x 549 so that the pane is 700 x 500, re-centred.
      {1024, 768, 43, 109, 938, 549, 783, 700, 500, 501, 503, 212, 190, 408, 206},
      // Starts at 819 (see below), then grows like 1024 x 768: left trunc(683 - 469).
      {1366, 768, 214, 109, 938, 549, 783, 700, 500, 501, 503, 212, 190, 408, 206},
      // Smaller than the pane minimums: the window outgrows the screen.
      {800, 480, -69, -34, 938, 549, 783, 700, 500, 501, 503, 212, 190, 408, 206},
      {2560, 1440, 512, 288, 1536, 864, 1381, 1298, 815, 816, 818, 511, 347, 707, 363},
  };
  for (const LayoutCase& c : cases) {
    LayoutSizes sizes;
    sizes.screenWidth = c.screenWidth;
    sizes.screenHeight = c.screenHeight;
    LayoutResult r = ComputeLayout(sizes);
    SCOPED_TRACE(testing::Message() << c.screenWidth << "x" << c.screenHeight);
    EXPECT_EQ(r.windowLeft, c.left);
    EXPECT_EQ(r.windowTop, c.top);
    EXPECT_EQ(r.windowWidth, c.width);
    EXPECT_EQ(r.windowHeight, c.height);
    EXPECT_EQ(r.panelLeft, c.panelLeft);
    EXPECT_EQ(r.paneWidth, c.paneWidth);
    EXPECT_EQ(r.paneHeight, c.paneHeight);
    EXPECT_EQ(r.stripWidth, 82);
    EXPECT_EQ(r.noticeTop, c.noticeTop);
    EXPECT_EQ(r.noticeWidth, c.width);
    EXPECT_EQ(r.stripHeight, c.columnHeight);
    EXPECT_EQ(r.panelHeight, c.columnHeight);
    EXPECT_EQ(r.hintTextLeft, c.hintTextLeft);
    EXPECT_EQ(r.hintTextTop, c.hintTextTop);
    EXPECT_EQ(r.hintPictureLeft, c.hintPictureLeft);
    EXPECT_EQ(r.hintPictureTop, c.hintPictureTop);
  }
}

// Records what the layout does to the window, to see the re-centring at each step.
class RecordingWindow : public LayoutWindow {
 public:
  void SetWidth(int w) override {
    width = maxWidth && w > maxWidth ? maxWidth : w;
    widths.push_back(w);
  }
  void SetHeight(int h) override { height = h; }
  void SetLeft(int x) override { lefts.push_back(x); }
  void SetTop(int y) override { tops.push_back(y); }
  int Width() override { return width; }
  int Height() override { return height; }
  int width = 0, height = 0, maxWidth = 0;
  std::vector<int> widths, lefts, tops;
};

TEST(Layout, GrowthLoopsReCentreAtEveryPixel) {
  LayoutSizes sizes;
  sizes.screenWidth = 1024;
  sizes.screenHeight = 768;
  RecordingWindow window;
  RunLayout(sizes, window);
  // One centring at step 2, then one per added pixel: 938 - 614 and 549 - 460.
  ASSERT_EQ(window.lefts.size(), 1u + 324u);
  ASSERT_EQ(window.tops.size(), 1u + 89u);
  EXPECT_EQ(window.lefts[0], 205);  // 512 - 307
  EXPECT_EQ(window.lefts[1], 204);  // 512 - 307.5 truncated
  EXPECT_EQ(window.lefts.back(), 43);
  EXPECT_EQ(window.tops[0], 154);   // 384 - 230
  EXPECT_EQ(window.tops.back(), 109);  // 384 - 274.5 truncated
}

TEST(Layout, OddScreenWidthsTruncate) {
  LayoutSizes sizes;
  sizes.screenWidth = 1366;
  sizes.screenHeight = 768;
  RecordingWindow window;
  RunLayout(sizes, window);
  EXPECT_EQ(window.widths.front(), 819);  // trunc(819.6)
  EXPECT_EQ(window.lefts.front(), 273);   // trunc(683 - 409.5)
}

TEST(Layout, AWindowThatWillNotGrowEndsTheLoop) {
  LayoutSizes sizes;
  sizes.screenWidth = 1024;
  sizes.screenHeight = 768;
  RecordingWindow window;
  window.maxWidth = 800;
  LayoutResult r = RunLayout(sizes, window);
  EXPECT_EQ(r.windowWidth, 800);
  EXPECT_EQ(r.paneWidth, 800 - 155 - 83);
  EXPECT_EQ(r.paneHeight, 500);
}

TEST(TrayEvent, CallbackMessagesMapToEvents) {
  using ui::TrayEvent;
  struct Case { LPARAM message; TrayEvent event; };
  const Case cases[] = {{WM_LBUTTONUP, TrayEvent::kLeftButtonUp},   {WM_LBUTTONDBLCLK, TrayEvent::kLeftDoubleClick},
                        {WM_RBUTTONUP, TrayEvent::kRightButtonUp},  {WM_CONTEXTMENU, TrayEvent::kRightButtonUp},
                        {WM_LBUTTONDOWN, TrayEvent::kNone},         {WM_RBUTTONDOWN, TrayEvent::kNone},
                        {WM_MOUSEMOVE, TrayEvent::kNone},           {WM_RBUTTONDBLCLK, TrayEvent::kNone},
                        {MAKELPARAM(WM_LBUTTONUP, 100), TrayEvent::kLeftButtonUp}};  // newer shells: id in the high word
  for (const Case& c : cases) EXPECT_EQ(ui::TrayEventOf(c.message), c.event) << c.message;
}

}  // namespace
