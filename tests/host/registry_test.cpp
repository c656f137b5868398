// The registry's host panes and tab hand-offs on a real main window of this process.
// The main window is loaded with only the units the registry works on (the tab strip
// with its template, the two timers, the empty-state hint), so that the rest of the
// start-up does not run here; the host windows are loaded the program's way.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "app/main_form.h"
#include "app/program_state.h"
#include "host/registry.h"
#include "tests/host/test_windows.h"

namespace {

constexpr int kPaneWidth = 914;
constexpr int kPaneHeight = 599;

void LoadTestMainWindow() {
  MainForm& f = Form();
  if (f.mainWindow.Exists()) return;
  ui::TopWindow::Design design;
  design.x = 100;
  design.y = 80;
  design.width = 1152;
  design.height = 648;
  design.title = "Tandrel registry test";
  f.mainWindow.Load(design, nullptr, [&f] {
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
  f.createTabTimer.onTick = host::CreateTab;
  f.destroyTabTimer.onTick = host::DestroyPendingTab;
}

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

void RemoveAllTabs() {
  for (const host::TabPtr& tab : host::Registry().Tabs()) tab->Destroy();
  while (host::Registry().TabCount() > 0) host::Registry().TakeOut(1);
}

class Registry : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ui::InitialiseUiThread();
    Program().paneWidth = kPaneWidth;
    Program().paneHeight = kPaneHeight;
    LoadTestMainWindow();
  }
  void SetUp() override {
    ASSERT_TRUE(Form().mainWindow.Exists());
    RemoveAllTabs();
  }
  void TearDown() override { RemoveAllTabs(); }
};

TEST_F(Registry, HostWindowsAreSixHiddenChildrenOfTheMainWindowOverThePane) {
  HWND main = Form().mainWindow.Handle();
  for (int k = 1; k <= 6; ++k) LoadHostWindow(k);
  for (int k = 1; k <= 6; ++k) {
    SCOPED_TRACE(k);
    HWND hostWindow = Form().panes[k - 1].Handle();
    ASSERT_TRUE(IsWindow(hostWindow));
    EXPECT_FALSE(GetWindowLongA(hostWindow, GWL_STYLE) & WS_VISIBLE);
    Placement p = PlacementOf(hostWindow);
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
      if (child == Form().panes[k - 1].Handle()) {
        EXPECT_LT(k, lastSeen) << "host window " << k << " lies above " << lastSeen;
        lastSeen = k;
      }
    }
  }
  EXPECT_EQ(lastSeen, 1);
}

TEST_F(Registry, CreateTabAfterThreeMakesTheFourthAtTop242TaggedFour) {
  for (int i = 0; i < 3; ++i) host::CreateTab();
  ASSERT_EQ(host::Registry().TabCount(), 3);
  host::CreateTab();
  ASSERT_EQ(host::Registry().TabCount(), 4);
  for (int n = 1; n <= 4; ++n) {
    SCOPED_TRACE(n);
    host::TabPtr tab = host::Registry().TabAt(n);
    ASSERT_TRUE(tab && IsWindow(tab->Handle()));
    Placement p = PlacementOf(tab->Handle());
    EXPECT_EQ(p.parent, Form().tabStrip->Handle());
    EXPECT_EQ(p.rect.top, (n - 1) * 80 + 2);
    EXPECT_EQ(p.rect.left, 1);
    EXPECT_EQ(p.rect.right - p.rect.left, 80);
    EXPECT_EQ(p.rect.bottom - p.rect.top, 80);
    EXPECT_EQ(WindowText(tab->Handle()), std::to_string(n));
    EXPECT_TRUE(GetWindowLongA(tab->Handle(), GWL_STYLE) & WS_VISIBLE);
    EXPECT_TRUE(IsWindowEnabled(tab->Handle()));
    EXPECT_EQ(tab->BackColour(), host::kTabUnselected);
  }
  EXPECT_EQ(host::Registry().TabAt(4)->Tag(), "4");
  EXPECT_EQ(host::Registry().TabAt(4)->Top(), 242);
  // The template itself stays hidden and disabled.
  EXPECT_FALSE(GetWindowLongA(Form().tabTemplate->Handle(), GWL_STYLE) & WS_VISIBLE);
}

TEST_F(Registry, NoSeventhTab) {
  for (int i = 0; i < 7; ++i) host::CreateTab();
  EXPECT_EQ(host::Registry().TabCount(), 6);
}

TEST_F(Registry, RequestNewTabFromAWorkerAppendsExactlyOne) {
  host::CreateTab();
  // The worker's request reaches the timer through this thread: keep handling messages.
  std::atomic<bool> requested{false};
  std::thread worker([&] {
    host::RequestNewTab();
    requested = true;
  });
  EXPECT_TRUE(fixtures::WaitUntil([&] { return requested.load() && host::Registry().TabCount() == 2; }, 3000));
  fixtures::WaitUntil([&] { return requested.load(); }, 3000);
  worker.join();
  // The one-shot timer stopped itself: no further tab follows.
  fixtures::WaitUntil([] { return false; }, 300);
  EXPECT_EQ(host::Registry().TabCount(), 2);
  EXPECT_EQ(Form().createTabTimer.Interval(), 0);
  EXPECT_EQ(WindowText(host::Registry().TabAt(2)->Handle()), "2");
}

// A window on the worker's thread that counts the messages it handles.
std::atomic<int> workerMessages{0};
LRESULT CALLBACK CountingProc(HWND w, UINT m, WPARAM wp, LPARAM lp) noexcept {
  if (m == WM_APP) {
    ++workerMessages;
    return 0;
  }
  return DefWindowProcA(w, m, wp, lp);
}

TEST_F(Registry, TabDestructionRequestedByAWorkerReturnsOnlyOnceTheTabIsGone) {
  for (int i = 0; i < 3; ++i) host::CreateTab();
  HWND second = host::Registry().TabAt(2)->Handle();

  WNDCLASSA wc = {};
  wc.lpfnWndProc = CountingProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "TandrelRegistryTestCounter";
  RegisterClassA(&wc);

  workerMessages = 0;
  std::atomic<HWND> workerWindow{nullptr};
  std::atomic<bool> returned{false};
  std::atomic<bool> tabAliveAtReturn{true};
  HANDLE posted = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread worker([&] {
    HWND w = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    workerWindow = w;
    // The message is posted before the request; only a wait that handles this
    // thread's messages can get it handled.
    WaitForSingleObject(posted, 5000);
    host::RequestTabDestruction(2);
    tabAliveAtReturn = IsWindow(second) != FALSE;
    returned = true;
    DestroyWindow(w);
  });

  // Our side keeps handling messages (the timer's tick among them); the destruction
  // waits until the worker has handled its message inside its wait.
  bool inTick = false;
  bool workerHandledFirst = false;
  Form().destroyTabTimer.onTick = [&] {
    if (inTick) return;
    inTick = true;
    workerHandledFirst = fixtures::WaitUntil([] { return workerMessages.load() > 0; }, 3000);
    EXPECT_FALSE(returned.load());
    host::DestroyPendingTab();
    inTick = false;
  };
  ASSERT_TRUE(fixtures::WaitUntil([&] { return workerWindow.load() != nullptr; }, 3000));
  PostMessageA(workerWindow, WM_APP, 0, 0);
  SetEvent(posted);
  EXPECT_TRUE(fixtures::WaitUntil([&] { return returned.load(); }, 5000));
  worker.join();
  Form().destroyTabTimer.onTick = host::DestroyPendingTab;
  CloseHandle(posted);

  EXPECT_TRUE(workerHandledFirst);
  EXPECT_FALSE(tabAliveAtReturn.load());
  EXPECT_EQ(host::Registry().pendingTabRemoval.load(), 0);
  // The list keeps the element until the caller takes it out.
  EXPECT_EQ(host::Registry().TabCount(), 3);
  EXPECT_TRUE(IsWindow(host::Registry().TabAt(3)->Handle()));
}

TEST_F(Registry, EmptyStateHintShowsAndHides) {
  host::ShowEmptyStateHint(false);
  EXPECT_FALSE(GetWindowLongA(Form().emptyHintText->Handle(), GWL_STYLE) & WS_VISIBLE);
  EXPECT_FALSE(GetWindowLongA(Form().emptyHintPicture->Handle(), GWL_STYLE) & WS_VISIBLE);
  host::ShowEmptyStateHint(true);
  EXPECT_TRUE(GetWindowLongA(Form().emptyHintText->Handle(), GWL_STYLE) & WS_VISIBLE);
  EXPECT_TRUE(GetWindowLongA(Form().emptyHintPicture->Handle(), GWL_STYLE) & WS_VISIBLE);
}

}  // namespace
