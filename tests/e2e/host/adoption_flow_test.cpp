// Adoption: a logged-in client's main window goes into the next host window, sized to the
// pane, with its avatar on the tab that was the add tab, and a new add tab below it.
#include <gtest/gtest.h>

#include "tests/e2e/host/host_e2e.h"

namespace {

using hosttest::TandrelRun;

TandrelRun::Options MainAtOnce(const std::string& extra = "") {
  TandrelRun::Options options;
  options.clientScript = "start main\n" + extra;
  return options;
}

TEST(Adoption, FirstClientGoesIntoHostOneWithItsAvatarTabAndANewAddTab) {
  TandrelRun run;
  ASSERT_TRUE(run.Start(MainAtOnce("colour C81E78\n"))) << run.failure;
  if (GetSystemMetrics(SM_CXSCREEN) == 1920 && GetSystemMetrics(SM_CYSCREEN) == 1080) {
    EXPECT_EQ(run.PaneWidth(), 914);
    EXPECT_EQ(run.PaneHeight(), 599);
  }
  ASSERT_NE(run.HintText(), nullptr);
  EXPECT_TRUE(hosttest::HasVisibleStyle(run.HintText()));
  ASSERT_EQ(run.Tabs().size(), 1u);
  const HWND firstTab = run.Tabs()[0];

  DWORD pid = 0;
  HWND w = run.StartClientAndWaitForAdoption(&pid);
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(run.WaitForHosted(w, 1));
  EXPECT_TRUE(hosttest::HasVisibleStyle(run.Host(1)));
  // The form applies the host's state on its own thread, a moment after the window moved.
  EXPECT_TRUE(support::WaitFor([&] { return !hosttest::HasVisibleStyle(run.HintText()); }, 2000));
  // The client saw it too: its window's parent is host window 1.
  EXPECT_TRUE(standin::WaitForLog(run.Client(), pid, "parent",
                                  {"main", std::to_string(reinterpret_cast<UINT_PTR>(run.Host(1)))}, 2000));

  ASSERT_TRUE(support::WaitFor([&] { return run.Tabs().size() == 2; }, 2000)) << "no new add tab";
  const std::vector<HWND> tabs = run.Tabs();
  EXPECT_EQ(tabs[0], firstTab) << "the add tab itself becomes the instance's tab";
  EXPECT_EQ(hosttest::RectInParent(tabs[1]).y, 82);
  EXPECT_EQ(hosttest::WindowText(tabs[1]), "2");
  EXPECT_TRUE(IsWindowEnabled(tabs[1]));
  EXPECT_TRUE(support::WaitFor([&] { return run.TabBackground(tabs[0]) == hosttest::kSelected; }, 3000))
      << std::hex << run.TabBackground(tabs[0]);
  EXPECT_TRUE(support::WaitFor([&] { return run.TabBackground(tabs[1]) == hosttest::kUnselected; }, 3000))
      << std::hex << run.TabBackground(tabs[1]);

  // The avatar: the 36 by 36 square the client paints at (9, 36) of its window.
  const COLORREF avatar = RGB(0xC8, 0x1E, 0x78);
  const COLORREF centre = run.TabCentre(tabs[0]);
  if (hosttest::UnderWine()) {
    // Wine's PrintWindow does not draw another process's window: the capture is the
    // untouched (black) bitmap. It is still a 36 by 36 picture over the tab's background.
    EXPECT_TRUE(centre == avatar || centre == RGB(0, 0, 0)) << std::hex << centre;
    const POINT outside = run.ScreenPoint(tabs[0], 40 - 20, 40);
    EXPECT_EQ(hosttest::ScreenPixel(outside.x, outside.y), hosttest::kSelected);
  } else {
    EXPECT_EQ(centre, avatar) << std::hex << centre;
  }
}

TEST(Adoption, HiddenMainWindowIsShownAndAdopted) {
  TandrelRun run;
  TandrelRun::Options options;
  options.clientScript = "start hidden\n";
  ASSERT_TRUE(run.Start(options)) << run.failure;
  DWORD pid = 0;
  HWND w = run.StartClientAndWaitForAdoption(&pid);
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(run.WaitForHosted(w, 1));
  EXPECT_TRUE(hosttest::HasVisibleStyle(w));
  EXPECT_FALSE(standin::FindLog(run.Client(), pid, "shown", {"main"}).empty());
}

TEST(Adoption, SixthGoesIntoHostSixWithoutAddTabAndASeventhStaysTopLevel) {
  TandrelRun run;
  ASSERT_TRUE(run.Start(MainAtOnce())) << run.failure;
  std::vector<HWND> windows;
  for (int k = 1; k <= 6; ++k) {
    HWND w = run.StartClientAndWaitForAdoption();
    ASSERT_NE(w, nullptr) << "client " << k;
    EXPECT_TRUE(run.WaitForHosted(w, k)) << "client " << k;
    const size_t tabsWanted = k < 6 ? k + 1 : 6;
    ASSERT_TRUE(support::WaitFor([&] { return run.Tabs().size() == tabsWanted; }, 3000)) << "client " << k;
    windows.push_back(w);
  }
  support::PumpMessagesFor(1000);  // time for an add tab that must not come
  const std::vector<HWND> tabs = run.Tabs();
  ASSERT_EQ(tabs.size(), 6u);
  EXPECT_EQ(hosttest::RectInParent(tabs[5]).y, 402);
  EXPECT_EQ(hosttest::WindowText(tabs[5]), "6");
  for (int k = 1; k <= 6; ++k) EXPECT_EQ(run.HostOf(windows[k - 1]), k);

  standin::RunningClient seventh = run.StartClient();
  ASSERT_TRUE(seventh);
  HWND w7 = nullptr;
  ASSERT_TRUE(support::WaitFor(
      [&] { return (w7 = hosttest::ClientMainWindow(run.Client(), seventh.pid())) != nullptr; }, 10000));
  support::PumpMessagesFor(2000);  // many cycles
  EXPECT_EQ(hosttest::ParentOf(w7), nullptr);
  EXPECT_TRUE(hosttest::HasVisibleStyle(w7));
  EXPECT_TRUE(standin::FindLog(run.Client(), seventh.pid(), "parent").empty()) << "the seventh was touched";
  EXPECT_TRUE(standin::FindLog(run.Client(), seventh.pid(), "moved").empty()) << "the seventh was moved";
  EXPECT_EQ(run.Tabs().size(), 6u);
}

}  // namespace
