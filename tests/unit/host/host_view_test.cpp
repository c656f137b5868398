// The form's drawing of the host's state, on real windows of this process: a small form of
// the test's own (main window, tab strip with its template, empty-state hint, six panes),
// drawn from snapshots of a real InstanceModel.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/host_view.h"
#include "app/main_form.h"
#include "app/program_state.h"
#include "host/instance_model.h"
#include "tests/fixtures/windows/test_windows.h"

namespace {

constexpr int kPaneWidth = 914;
constexpr int kPaneHeight = 599;

// Parent and the rectangle relative to the parent's client area, read from Windows.
struct Placement {
  HWND parent;
  RECT rect;
};
Placement PlacementOf(HWND w) {
  Placement p{GetAncestor(w, GA_PARENT), {}};
  GetWindowRect(w, &p.rect);
  MapWindowPoints(nullptr, p.parent, reinterpret_cast<POINT*>(&p.rect), 2);
  return p;
}

std::string WindowText(HWND w) {
  char text[64] = {};
  GetWindowTextA(w, text, sizeof text);
  return text;
}

COLORREF PixelOf(HWND w, int x, int y) {
  RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  fixtures::PumpMessages();
  HDC dc = GetDC(w);
  const COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(w, dc);
  return c;
}

bool HasVisibleStyle(HWND w) { return (GetWindowLongA(w, GWL_STYLE) & WS_VISIBLE) != 0; }

// The tab controls in the strip, top to bottom (the template, hidden, left out).
std::vector<HWND> StripTabs(const MainForm& f) {
  std::vector<std::pair<int, HWND>> found;
  for (HWND c = GetWindow(f.tabStrip->Handle(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (c != f.tabTemplate->Handle()) found.push_back({PlacementOf(c).rect.top, c});
  }
  std::sort(found.begin(), found.end());
  std::vector<HWND> tabs;
  for (auto& entry : found) tabs.push_back(entry.second);
  return tabs;
}

class HostView : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ui::InitialiseUiThread();
    Program().paneWidth = kPaneWidth;
    Program().paneHeight = kPaneHeight;
  }
  void SetUp() override {
    ui::TopWindow::Design design;
    design.x = 100;
    design.y = 80;
    design.width = 1152;
    design.height = 648;
    design.title = "Tandrel host view test";
    form_.mainWindow.Load(design, nullptr, [this] {
      MainForm& f = form_;
      f.tabStrip = std::make_unique<ui::ShapeBox>(f.mainWindow, 0, -1, 82, 602, host::kTabUnselected,
                                                   host::kTabUnselected);
      f.tabTemplate = std::make_unique<ui::PictureBox>(*f.tabStrip, 1, 2, 80, 80, host::kTabUnselected,
                                                     ui::DisplayMode::kCentred);
      f.tabTemplate->SetVisible(false);
      f.tabTemplate->SetDisabled(true);
      f.emptyHintText = std::make_unique<ui::TransparentLabel>(f.mainWindow, 300, 250, 400, 60, "点击左侧  添加微信",
                                                            RGB(128, 128, 128), 48);
      f.emptyHintPicture = std::make_unique<ui::PictureBox>(f.mainWindow, 500, 250, 50, 50, RGB(240, 240, 240),
                                                     ui::DisplayMode::kCentred);
    });
    ASSERT_TRUE(form_.mainWindow.Exists());
  }
  void Draw() { view_.RenderNow(model_.Snapshot()); }

  MainForm form_;
  app::FormHostView view_{form_};
  host::InstanceModel model_;
};

TEST_F(HostView, PanesAreSixHiddenChildrenOfTheMainWindowOverThePane) {
  view_.LoadPanes();
  HWND main = form_.mainWindow.Handle();
  for (int k = 1; k <= 6; ++k) {
    SCOPED_TRACE(k);
    HWND pane = view_.Pane(k);
    ASSERT_TRUE(IsWindow(pane));
    EXPECT_FALSE(HasVisibleStyle(pane));
    Placement p = PlacementOf(pane);
    EXPECT_EQ(p.parent, main);
    EXPECT_EQ(p.rect.left, 82);
    EXPECT_EQ(p.rect.top, 0);
    EXPECT_EQ(p.rect.right - p.rect.left, kPaneWidth);
    EXPECT_EQ(p.rect.bottom - p.rect.top, kPaneHeight);
  }
  // Made children in the order 1 to 6: a higher number lies above a lower one.
  int lastSeen = 7;
  for (HWND child = GetWindow(main, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    for (int k = 1; k <= 6; ++k) {
      if (child == view_.Pane(k)) {
        EXPECT_LT(k, lastSeen) << "pane " << k << " lies above " << lastSeen;
        lastSeen = k;
      }
    }
  }
  EXPECT_EQ(lastSeen, 1);

  // The model's panes and hint reach the windows.
  model_.SetPaneVisible(3, true);
  model_.SetHintVisible(false);
  Draw();
  for (int k = 1; k <= 6; ++k) EXPECT_EQ(HasVisibleStyle(view_.Pane(k)), k == 3) << k;
  EXPECT_FALSE(HasVisibleStyle(form_.emptyHintText->Handle()));
  EXPECT_FALSE(HasVisibleStyle(form_.emptyHintPicture->Handle()));
  model_.ShowOnlyPane(1);
  model_.SetHintVisible(true);
  Draw();
  for (int k = 1; k <= 6; ++k) EXPECT_EQ(HasVisibleStyle(view_.Pane(k)), k == 1) << k;
  EXPECT_TRUE(HasVisibleStyle(form_.emptyHintText->Handle()));
  EXPECT_TRUE(HasVisibleStyle(form_.emptyHintPicture->Handle()));
}

TEST_F(HostView, AFourthTabLandsAtTop242TaggedFour) {
  for (int i = 0; i < 3; ++i) model_.AppendTab();
  Draw();
  ASSERT_EQ(StripTabs(form_).size(), 3u);
  model_.AppendTab();
  Draw();
  const std::vector<HWND> tabs = StripTabs(form_);
  ASSERT_EQ(tabs.size(), 4u);
  for (int n = 1; n <= 4; ++n) {
    SCOPED_TRACE(n);
    Placement p = PlacementOf(tabs[n - 1]);
    EXPECT_EQ(p.parent, form_.tabStrip->Handle());
    EXPECT_EQ(p.rect.top, (n - 1) * 80 + 2);
    EXPECT_EQ(p.rect.left, 1);
    EXPECT_EQ(p.rect.right - p.rect.left, 80);
    EXPECT_EQ(p.rect.bottom - p.rect.top, 80);
    EXPECT_EQ(WindowText(tabs[n - 1]), std::to_string(n));
    EXPECT_TRUE(HasVisibleStyle(tabs[n - 1]));
    EXPECT_TRUE(IsWindowEnabled(tabs[n - 1]));
  }
  // The template itself stays hidden and disabled.
  EXPECT_FALSE(HasVisibleStyle(form_.tabTemplate->Handle()));
  EXPECT_FALSE(IsWindowEnabled(form_.tabTemplate->Handle()));
  // The model allows no seventh tab.
  for (int i = 0; i < 3; ++i) model_.AppendTab();
  Draw();
  EXPECT_EQ(StripTabs(form_).size(), 6u);
}

TEST_F(HostView, RemovingTheSecondOfThreeDestroysItsControlAndMovesTheThirdUp) {
  const HWND windows[] = {reinterpret_cast<HWND>(0x1010), reinterpret_cast<HWND>(0x2020)};
  for (HWND w : windows) {
    model_.AppendTab();
    model_.RaiseHostedCount();
    model_.AppendHostedWindow(w);
  }
  model_.AppendTab();  // the add tab
  model_.SelectOnlyTab(2);
  Draw();
  const std::vector<HWND> before = StripTabs(form_);
  ASSERT_EQ(before.size(), 3u);

  model_.TakeOutInstance(2);
  model_.SelectOnlyTab(1);
  Draw();
  const std::vector<HWND> after = StripTabs(form_);
  ASSERT_EQ(after.size(), 2u);
  EXPECT_FALSE(IsWindow(before[1])) << "the removed instance's tab is destroyed";
  EXPECT_EQ(after[0], before[0]);
  EXPECT_EQ(after[1], before[2]) << "the add tab is the same control, moved up";
  EXPECT_EQ(PlacementOf(after[1]).rect.top, 82);
  EXPECT_EQ(WindowText(after[1]), "2");
  // Colours follow the selection, as the control paints itself.
  EXPECT_EQ(PixelOf(after[0], 2, 2), host::kTabSelected);
  EXPECT_EQ(PixelOf(after[1], 2, 2), host::kTabUnselected);
}

TEST_F(HostView, DisabledTabsAndTheClickMapping) {
  for (int i = 0; i < 3; ++i) model_.AppendTab();
  model_.SetAllTabsEnabled(false);
  model_.AppendTab();  // appended enabled while the others stay disabled
  Draw();
  const std::vector<HWND> tabs = StripTabs(form_);
  ASSERT_EQ(tabs.size(), 4u);
  for (int n = 1; n <= 4; ++n) EXPECT_EQ(IsWindowEnabled(tabs[n - 1]) != FALSE, n == 4) << n;
  EXPECT_EQ(view_.PositionOf(*form_.tabTemplate), 0);
}

}  // namespace
