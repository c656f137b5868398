// The form units as real windows: cross-thread calls, timers, tags, copies, events.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "ui/units.h"
#include "form_test_util.h"
#include "util/unique_resource.h"

using formtest::PumpUntil;
using formtest::Rgb;

namespace {

Text WindowTextOf(HWND hwnd) {
  char buffer[256] = {};
  GetWindowTextA(hwnd, buffer, sizeof buffer);
  return buffer;
}

RECT ScreenRect(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  return r;
}

class UnitsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::InitialiseUiThread();
    ui::TopWindow::Design design;
    design.x = 100;
    design.y = 100;
    design.width = 400;
    design.height = 300;
    design.visible = true;
    design.escClose = true;
    design.title = "units test";
    window.Load(design);
    ASSERT_TRUE(window.Exists());
  }
  ui::TopWindow window;
};

TEST_F(UnitsTest, CallsFromAWorkerRunOnTheUserInterfaceThread) {
  ui::Label label(window, 0, 0, 100, 20, "before", 0, 0xFFFFFF, ui::Align::kLeft);
  const DWORD uiThread = GetCurrentThreadId();
  std::atomic<DWORD> ranOn{0};
  std::atomic<bool> done{false};
  int widthSeenByWorker = 0;
  std::thread worker([&] {
    ui::CallOnUiThread([&] { ranOn = GetCurrentThreadId(); });
    label.SetCaption("after");
    label.SetWidth(150);
    widthSeenByWorker = label.Width();
    label.SetVisible(false);
    done = true;
  });
  // The worker's calls complete only while this thread handles its messages.
  ASSERT_TRUE(PumpUntil([&] { return done.load(); }));
  worker.join();
  EXPECT_EQ(ranOn.load(), uiThread);
  EXPECT_EQ(WindowTextOf(label.Handle()), "after");
  EXPECT_EQ(widthSeenByWorker, 150);
  EXPECT_FALSE(IsWindowVisible(label.Handle()));
}

TEST_F(UnitsTest, TimerTicksOnTheUserInterfaceThreadUntilStopped) {
  ui::Timer timer;
  const DWORD uiThread = GetCurrentThreadId();
  std::atomic<int> ticks{0};
  std::atomic<bool> wrongThread{false};
  timer.onTick = [&] {
    if (GetCurrentThreadId() != uiThread) wrongThread = true;
    ++ticks;
  };
  EXPECT_EQ(timer.Interval(), 0);
  std::thread starter([&] { timer.SetInterval(10); });  // settable from any thread
  ASSERT_TRUE(PumpUntil([&] { return ticks >= 3; }));
  starter.join();
  EXPECT_FALSE(wrongThread);
  EXPECT_EQ(timer.Interval(), 10);

  timer.SetInterval(0);
  const int stoppedAt = ticks;
  PumpUntil([] { return false; }, 100);
  EXPECT_EQ(ticks, stoppedAt);
}

TEST_F(UnitsTest, OneShotTimerStoppingItselfTicksOnce) {
  ui::Timer timer;
  int ticks = 0;
  timer.onTick = [&] {
    timer.SetInterval(0);
    ++ticks;
  };
  timer.SetInterval(10);
  PumpUntil([] { return false; }, 150);
  EXPECT_EQ(ticks, 1);
}

TEST_F(UnitsTest, TagIsTheWindowTextOfPictureBoxesAndLabelsKeepTheirCaption) {
  ui::PictureBox box(window, 0, 0, 80, 80, 0, ui::DisplayMode::kCentred);
  box.SetTag("4");
  EXPECT_EQ(box.Tag(), "4");
  EXPECT_EQ(WindowTextOf(box.Handle()), "4");
  ui::Label label(window, 0, 0, 100, 20, "说明", 0, 0, ui::Align::kLeft);
  label.SetTag("x");
  EXPECT_EQ(label.Tag(), "x");
  EXPECT_EQ(WindowTextOf(label.Handle()), "说明");
}

TEST_F(UnitsTest, GeometryIsRelativeToTheParentAndChildrenMoveWithTheirShapeBox) {
  ui::ShapeBox shape(window, 10, -1, 100, 200, 0, 0);
  ui::PictureBox child(shape, 1, 2, 80, 80, 0, ui::DisplayMode::kCentred);
  EXPECT_EQ(shape.Left(), 10);
  EXPECT_EQ(shape.Top(), -1);
  EXPECT_EQ(child.Left(), 1);
  EXPECT_EQ(child.Top(), 2);
  RECT before = ScreenRect(child.Handle());
  shape.SetLeft(50);
  shape.SetTop(30);
  RECT after = ScreenRect(child.Handle());
  EXPECT_EQ(after.left - before.left, 40);
  EXPECT_EQ(after.top - before.top, 31);
  EXPECT_EQ(child.Left(), 1);
  child.SetBounds(3, 4, 20, 30);
  EXPECT_EQ(child.Left(), 3);
  EXPECT_EQ(child.Top(), 4);
  EXPECT_EQ(child.Width(), 20);
  EXPECT_EQ(child.Height(), 30);
}

TEST_F(UnitsTest, CopyIntoAnotherParentKeepsPropertiesAndHandler) {
  ui::ShapeBox strip(window, 0, 0, 82, 300, 0x808080, 0x808080);
  ui::ShapeBox other(window, 100, 0, 82, 300, 0x808080, 0x808080);
  ui::PictureBox tab(strip, 1, 2, 80, 80, 0x2E2E2E, ui::DisplayMode::kCentred);
  std::vector<std::uint32_t> green(10 * 10, 0xFF00FF00);
  ASSERT_TRUE(tab.SetPicture(formtest::EncodePng(10, 10, green)));
  tab.SetTag("1");
  tab.SetHandCursor(true);
  tab.SetVisible(false);
  tab.SetDisabled(true);
  ui::PictureBox* clicked = nullptr;
  tab.onLeftButtonDown = [&](ui::PictureBox& which) { clicked = &which; };

  std::unique_ptr<ui::PictureBox> copy = tab.CopyInto(other);
  ASSERT_TRUE(copy && copy->Exists());
  EXPECT_EQ(GetParent(copy->Handle()), other.Handle());
  EXPECT_EQ(copy->Left(), 1);
  EXPECT_EQ(copy->Top(), 2);
  EXPECT_EQ(copy->Width(), 80);
  EXPECT_EQ(copy->BackColour(), 0x2E2E2Eu);
  EXPECT_EQ(copy->Mode(), ui::DisplayMode::kCentred);
  EXPECT_TRUE(copy->HasPicture());
  EXPECT_EQ(copy->Tag(), "1");
  EXPECT_FALSE(copy->Visible());
  EXPECT_TRUE(copy->Disabled());
  EXPECT_EQ(formtest::Render(copy->Handle()).At(40, 40), Rgb(0, 255, 0));

  copy->SetEnabled(true);
  SendMessageA(copy->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(clicked, copy.get());

  HWND handle = copy->Handle();
  copy->Destroy();
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_FALSE(copy->Exists());
}

TEST_F(UnitsTest, RealClicksRaiseLeftButtonDownOnlyWhileEnabled) {
  ui::PictureBox box(window, 20, 20, 80, 80, 0x808080, ui::DisplayMode::kCentred);
  ui::TransparentLabel label(window, 150, 20, 120, 40, "点击", 0xFF0000, 16);
  ui::PictureBox witness(window, 20, 150, 80, 80, 0x808080, ui::DisplayMode::kCentred);
  int boxClicks = 0, labelClicks = 0, witnessClicks = 0;
  box.onLeftButtonDown = [&](ui::PictureBox&) { ++boxClicks; };
  witness.onLeftButtonDown = [&](ui::PictureBox&) { ++witnessClicks; };
  label.onLeftButtonDown = [&] { ++labelClicks; };
  SetForegroundWindow(window.Handle());
  RECT b = ScreenRect(box.Handle()), l = ScreenRect(label.Handle()), w = ScreenRect(witness.Handle());
  // Clicks go to whatever the system has under the pointer: wait until the new window is
  // there (the previous test's window at the same place may still be on its way out).
  ASSERT_TRUE(PumpUntil([&] {
    return WindowFromPoint(POINT{b.left + 40, b.top + 40}) == box.Handle() &&
           WindowFromPoint(POINT{l.left + 60, l.top + 20}) == label.Handle() &&
           WindowFromPoint(POINT{w.left + 40, w.top + 40}) == witness.Handle();
  }));

  formtest::ClickAt(b.left + 40, b.top + 40);
  formtest::ClickAt(l.left + 60, l.top + 20);
  ASSERT_TRUE(PumpUntil([&] { return boxClicks == 1 && labelClicks == 1; }))
      << "box " << boxClicks << " label " << labelClicks;

  box.SetDisabled(true);
  label.SetEnabled(false);
  formtest::ClickAt(b.left + 40, b.top + 40);
  formtest::ClickAt(l.left + 60, l.top + 20);
  // Input arrives in order: once the witness has its click, the two before it were handled.
  formtest::ClickAt(w.left + 40, w.top + 40);
  ASSERT_TRUE(PumpUntil([&] { return witnessClicks == 1; }));
  EXPECT_EQ(boxClicks, 1);
  EXPECT_EQ(labelClicks, 1);
  // A posted press does not raise it either.
  SendMessageA(box.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(boxClicks, 1);
}

TEST_F(UnitsTest, TransparentLabelShowsItsParentsFillBehindItsText) {
  ui::ShapeBox panel(window, 0, 0, 200, 100, 0xC0C0C0, 0xF5F5F5);
  ui::TransparentLabel label(panel, 10, 10, 150, 41, "点击个人功能定制", 0xFF0000, 16);  // blue text
  formtest::Rendering r = formtest::Render(label.Handle());
  EXPECT_EQ(r.At(0, 0), Rgb(245, 245, 245));
  EXPECT_EQ(r.At(149, 40), Rgb(245, 245, 245));
  EXPECT_GT(r.CountNear(Rgb(0, 0, 255)), 30);
  // One line, centred both ways: no text in the top and bottom rows.
  int topRowText = 0;
  for (int x = 0; x < r.width; ++x) topRowText += r.At(x, 1) != Rgb(245, 245, 245);
  EXPECT_EQ(topRowText, 0);

  panel.SetFill(0xFFFFFF);
  EXPECT_EQ(formtest::Render(label.Handle()).At(0, 0), Rgb(255, 255, 255));
}

TEST_F(UnitsTest, LabelIsOpaqueWithItsColours) {
  ui::Label label(window, 0, 0, 300, 20, "  声明", 0xFFFFFF, 0xFF0000, ui::Align::kLeft);
  label.SetBackColour(14914888);
  formtest::Rendering r = formtest::Render(label.Handle());
  EXPECT_EQ(r.At(299, 0), Rgb(72, 149, 227));
  EXPECT_GT(r.CountNear(Rgb(255, 255, 255)), 10);
  // Left-aligned: nothing but the background at the far right.
  int whiteRight = 0;
  for (int y = 0; y < r.height; ++y)
    for (int x = 200; x < r.width; ++x) whiteRight += r.At(x, y) != Rgb(72, 149, 227);
  EXPECT_EQ(whiteRight, 0);
}

// Every paint draws through a buffer bitmap, brushes and pens; after a thousand repaints of
// each kind of control all that the owners took is gone again. A buffer bitmap deleted while
// still selected leaks on Windows (and only lingers on Wine): it stays outstanding here.
TEST_F(UnitsTest, AThousandRepaintsLeaveNoGdiObjectBehind) {
  ui::ShapeBox panel(window, 0, 0, 300, 200, 0xC0C0C0, 0xF5F5F5);
  ui::TransparentLabel caption(panel, 10, 10, 150, 41, "点击个人功能定制", 0xFF0000, 16);
  ui::Label label(window, 0, 210, 300, 20, "  声明", 0xFFFFFF, 0xFF0000, ui::Align::kLeft);
  ui::PictureBox picture(window, 310, 0, 40, 40, 0x808080, ui::DisplayMode::kTiled);
  ASSERT_TRUE(picture.SetPicture(formtest::EncodePng(2, 2, std::vector<std::uint32_t>(4, 0xFFFF0000))));
  auto repaint = [&] {
    RedrawWindow(window.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  };
  repaint();
  const util::GdiObjectCounts before = util::CountedGdiObjects();
  for (int i = 0; i < 1000; ++i) repaint();
  const util::GdiObjectCounts after = util::CountedGdiObjects();
  // Four controls, each with at least its buffer bitmap per paint.
  EXPECT_GE(after.gone - before.gone, 4000) << "the repaints did not paint";
  EXPECT_EQ(after.taken - after.gone, before.taken - before.gone) << "objects left behind by the repaints";
}

TEST_F(UnitsTest, CloseRequestedCanRefuseTheClose) {
  int requests = 0;
  bool allow = false;
  window.onCloseRequested = [&] {
    ++requests;
    return allow;
  };
  SendMessageA(window.Handle(), WM_CLOSE, 0, 0);
  SendMessageA(window.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  SendMessageA(window.Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(requests, 3);
  EXPECT_TRUE(window.Exists());
  allow = true;
  SendMessageA(window.Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(window.Exists());
}

TEST_F(UnitsTest, MovedAndTrayEvents) {
  int moves = 0;
  std::vector<ui::TrayEvent> trayEvents;
  window.onMoved = [&] { ++moves; };
  window.onTrayEvent = [&](ui::TrayEvent event) { trayEvents.push_back(event); };
  window.SetLeft(120);
  EXPECT_GE(moves, 1);
  const UINT messages[] = {WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONUP, WM_CONTEXTMENU,
                           WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_RBUTTONDOWN};
  for (UINT m : messages) SendMessageA(window.Handle(), ui::kTrayCallbackMessage, 100, m);
  using ui::TrayEvent;
  EXPECT_EQ(trayEvents, (std::vector<TrayEvent>{TrayEvent::kLeftButtonUp, TrayEvent::kLeftDoubleClick,
                                                TrayEvent::kRightButtonUp, TrayEvent::kRightButtonUp}));
}

TEST(PopupMenu, HiddenRootItemsAndSeparator) {
  ui::InitialiseUiThread();
  std::vector<ui::PopupMenu::Item> items(4);
  items[0].caption = "显示窗口";
  items[1].caption = "-";
  items[2].caption = "退出程序";
  items[3].caption = "隐藏";
  items[3].visible = false;
  ui::PopupMenu menu("菜单", items);
  HMENU h = menu.Handle();
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(GetMenuItemCount(h), 3);
  char caption[64] = {};
  GetMenuStringA(h, 0, caption, sizeof caption, MF_BYPOSITION);
  EXPECT_EQ(Text(caption), "显示窗口");
  EXPECT_TRUE(GetMenuState(h, 1, MF_BYPOSITION) & MF_SEPARATOR);
  GetMenuStringA(h, 2, caption, sizeof caption, MF_BYPOSITION);
  EXPECT_EQ(Text(caption), "退出程序");
}

}  // namespace
