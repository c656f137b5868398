#include "app/layout.h"

#include <windows.h>

#include "app/main_form.h"
#include "app/program_state.h"

namespace {

constexpr double kScreenShare = 0.6;    // the window's first size, of the screen's
constexpr int kPanelRightMargin = 4;     // between the side panel and the window's right edge
constexpr int kPaneGap = 1;              // between the tab strip and the pane
constexpr int kPaneMinWidth = 700;
constexpr int kPaneMinHeight = 500;
constexpr int kPaneHeightMargin = 49;    // title bar, border and notice bar below the pane
constexpr int kNoticeBarFromBottom = 48;
constexpr int kColumnHeightMargin = 46;  // the strip and the panel end at the notice bar
constexpr int kHintRaise = 20;           // the empty-state hint sits this far above the middle

// Sizes and positions are computed in double precision and truncated toward zero.
int Truncate(double value) { return static_cast<int>(value); }

class IdealWindow : public LayoutWindow {
 public:
  void SetWidth(int width) override { width_ = width; }
  void SetHeight(int height) override { height_ = height; }
  void SetLeft(int left) override { left_ = left; }
  void SetTop(int top) override { top_ = top; }
  int Width() override { return width_; }
  int Height() override { return height_; }
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
};

class MainWindowTarget : public LayoutWindow {
 public:
  void SetWidth(int width) override { Form().mainWindow.SetWidth(width); }
  void SetHeight(int height) override { Form().mainWindow.SetHeight(height); }
  void SetLeft(int left) override { Form().mainWindow.SetLeft(left); }
  void SetTop(int top) override { Form().mainWindow.SetTop(top); }
  int Width() override { return Form().mainWindow.Width(); }
  int Height() override { return Form().mainWindow.Height(); }
  void SetPanelLeft(int left) override { Form().sidePanel->SetLeft(left); }
  void SetNoticeBar(int top, int width) override {
    Form().noticeBar->SetTop(top);
    Form().noticeBar->SetWidth(width);
  }
  void SetColumnHeights(int strip, int panel) override {
    Form().tabStrip->SetHeight(strip);
    Form().sidePanel->SetHeight(panel);
  }
  void SetHintPositions(int textLeft, int textTop, int pictureLeft, int pictureTop) override {
    Form().emptyHintText->SetLeft(textLeft);
    Form().emptyHintText->SetTop(textTop);
    Form().emptyHintPicture->SetLeft(pictureLeft);
    Form().emptyHintPicture->SetTop(pictureTop);
  }
};

}  // namespace

LayoutResult RunLayout(const LayoutSizes& s, LayoutWindow& window) {
  LayoutResult r;
  const double screenWidth = s.screenWidth;
  const double screenHeight = s.screenHeight;
  // 1, 2: 60 % of the screen, centred.
  window.SetWidth(Truncate(screenWidth * kScreenShare));
  window.SetHeight(Truncate(screenHeight * kScreenShare));
  window.SetLeft(Truncate(screenWidth / 2 - window.Width() / 2.0));
  window.SetTop(Truncate(screenHeight / 2 - window.Height() / 2.0));
  // 3, 4: the side panel at the right edge; the pane between strip and panel.
  r.panelLeft = window.Width() - s.panelWidth - kPanelRightMargin;
  window.SetPanelLeft(r.panelLeft);
  r.paneWidth = r.panelLeft - s.stripWidth - kPaneGap;
  r.paneHeight = window.Height() - kPaneHeightMargin;
  // 5, 6: grow one pixel at a time until the pane is at least 700 by 500.
  // A window that refuses to grow would hold start-up here for ever: stop instead.
  while (r.paneWidth < kPaneMinWidth) {
    const int before = window.Width();
    window.SetWidth(before + 1);
    if (window.Width() <= before) break;
    window.SetLeft(Truncate(screenWidth / 2 - window.Width() / 2.0));
    r.panelLeft = window.Width() - s.panelWidth - kPanelRightMargin;
    window.SetPanelLeft(r.panelLeft);
    r.paneWidth = r.panelLeft - s.stripWidth - kPaneGap;
  }
  while (r.paneHeight < kPaneMinHeight) {
    const int before = window.Height();
    window.SetHeight(before + 1);
    if (window.Height() <= before) break;
    window.SetTop(Truncate(screenHeight / 2 - window.Height() / 2.0));
    r.paneHeight = window.Height() - kPaneHeightMargin;
  }
  // 7, 8: notice bar along the bottom, strip and panel down to it.
  r.noticeTop = window.Height() - kNoticeBarFromBottom;
  r.noticeWidth = window.Width();
  window.SetNoticeBar(r.noticeTop, r.noticeWidth);
  r.stripHeight = window.Height() - kColumnHeightMargin;
  r.panelHeight = window.Height() - kColumnHeightMargin;
  window.SetColumnHeights(r.stripHeight, r.panelHeight);
  // 9, 10: the empty-state hint centred over the pane, 20 pixels above its middle.
  r.stripWidth = s.stripWidth;
  r.hintTextLeft = Truncate(r.stripWidth + r.paneWidth / 2.0 - s.hintTextWidth / 2.0);
  r.hintTextTop = Truncate(r.paneHeight / 2.0 - s.hintTextHeight / 2.0 - kHintRaise);
  r.hintPictureLeft = Truncate(r.stripWidth + r.paneWidth / 2.0 - s.hintPictureWidth / 2.0);
  r.hintPictureTop = Truncate(r.paneHeight / 2.0 - s.hintPictureHeight / 2.0 - kHintRaise);
  window.SetHintPositions(r.hintTextLeft, r.hintTextTop, r.hintPictureLeft, r.hintPictureTop);
  r.windowWidth = window.Width();
  r.windowHeight = window.Height();
  return r;
}

LayoutResult ComputeLayout(const LayoutSizes& sizes) {
  IdealWindow window;
  LayoutResult r = RunLayout(sizes, window);
  r.windowLeft = window.left_;
  r.windowTop = window.top_;
  return r;
}

void LayoutMainWindow() {
  MainForm& f = Form();
  LayoutSizes sizes;
  sizes.screenWidth = GetSystemMetrics(SM_CXSCREEN);
  sizes.screenHeight = GetSystemMetrics(SM_CYSCREEN);
  sizes.stripWidth = f.tabStrip->Width();
  sizes.panelWidth = f.sidePanel->Width();
  sizes.hintTextWidth = f.emptyHintText->Width();
  sizes.hintTextHeight = f.emptyHintText->Height();
  sizes.hintPictureWidth = f.emptyHintPicture->Width();
  sizes.hintPictureHeight = f.emptyHintPicture->Height();

  // The window takes its final rectangle in one move and the units their places: every resize
  // of the top-level window costs a new window surface (about 20 ms under Wine), and growing
  // it one pixel at a time would cost that per pixel. Only a window that does not take that
  // size is laid out step by step, so that the growth stops where the window refuses.
  LayoutResult r = ComputeLayout(sizes);
  f.mainWindow.SetBounds(r.windowLeft, r.windowTop, r.windowWidth, r.windowHeight);
  MainWindowTarget window;
  if (window.Width() == r.windowWidth && window.Height() == r.windowHeight) {
    window.SetPanelLeft(r.panelLeft);
    window.SetNoticeBar(r.noticeTop, r.noticeWidth);
    window.SetColumnHeights(r.stripHeight, r.panelHeight);
    window.SetHintPositions(r.hintTextLeft, r.hintTextTop, r.hintPictureLeft, r.hintPictureTop);
  } else {
    r = RunLayout(sizes, window);
  }

  ProgramState& state = Program();
  state.paneWidth = r.paneWidth;
  state.paneHeight = r.paneHeight;
  state.stripWidth = r.stripWidth;
}
