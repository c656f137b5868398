#pragma once
// The main window's layout at start: sizes MainWindow to the screen and fixes the
// pane size the instance host uses. The arithmetic is kept apart from the windows so
// that it can be checked as a table.

struct LayoutSizes {
  int screenWidth = 0;
  int screenHeight = 0;
  int stripWidth = 82;         // width of tabStrip
  int panelWidth = 151;        // width of sidePanel
  int hintTextWidth = 440;     // emptyHintText
  int hintTextHeight = 80;
  int hintPictureWidth = 48;   // emptyHintPicture
  int hintPictureHeight = 48;
};

struct LayoutResult {
  int windowLeft = 0, windowTop = 0, windowWidth = 0, windowHeight = 0;
  int panelLeft = 0;                  // sidePanel
  int paneWidth = 0, paneHeight = 0, stripWidth = 0;
  int noticeTop = 0, noticeWidth = 0;  // noticeBar
  int stripHeight = 0, panelHeight = 0;
  int hintTextLeft = 0, hintTextTop = 0;
  int hintPictureLeft = 0, hintPictureTop = 0;
};

// The main window as the layout drives it: every change is followed by reading the
// outer size back, because the system may not give a window the size asked for.
class LayoutWindow {
 public:
  virtual ~LayoutWindow() = default;
  virtual void SetWidth(int width) = 0;
  virtual void SetHeight(int height) = 0;
  virtual void SetLeft(int left) = 0;
  virtual void SetTop(int top) = 0;
  virtual int Width() = 0;
  virtual int Height() = 0;
  // The units, placed at the steps that compute them.
  virtual void SetPanelLeft(int) {}
  virtual void SetNoticeBar(int /*top*/, int /*width*/) {}
  virtual void SetColumnHeights(int /*strip*/, int /*panel*/) {}
  virtual void SetHintPositions(int /*textLeft*/, int /*textTop*/, int /*pictureLeft*/, int /*pictureTop*/) {}
};

// Runs the layout's steps against a window; the units' positions come back in the result.
LayoutResult RunLayout(const LayoutSizes& sizes, LayoutWindow& window);
// The same steps for a window that takes every size it is given.
LayoutResult ComputeLayout(const LayoutSizes& sizes);

// Start-up: lays out MainWindow and its units on the primary screen and sets
// paneWidth, paneHeight and stripWidth.
void LayoutMainWindow();
