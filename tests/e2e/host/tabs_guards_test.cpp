// Tabs and input guards with real input: tab clicks, the add tab, the pointer guard over
// the hosted window's title-bar buttons, Alt+A, and the nudge after MainWindow moves.
#include <gtest/gtest.h>

#include "host/client_windows.h"
#include "tests/e2e/host/host_e2e.h"
#include "tests/support/program_log.h"

namespace {

using hosttest::TandrelRun;
using hosttest::Hosted;
using hosttest::HostClients;

TandrelRun::Options MainAtOnce() {
  TandrelRun::Options options;
  options.clientScript = "start main\n";
  return options;
}

bool OnlyHostVisible(const TandrelRun& run, int k) {
  for (int j = 1; j <= 6; ++j) {
    if (hosttest::HasVisibleStyle(run.Host(j)) != (j == k)) return false;
  }
  return true;
}

bool AllTabsEnabled(const TandrelRun& run, bool enabled) {
  for (HWND t : run.Tabs()) {
    if ((IsWindowEnabled(t) != FALSE) != enabled) return false;
  }
  return !run.Tabs().empty();
}

bool TabIs(const TandrelRun& run, HWND tab, COLORREF colour) {
  return support::WaitFor([&] { return run.TabBackground(tab) == colour; }, 3000);
}

TEST(TabsAndGuards, TabClicksShowOnePaneAndColourTheTabs) {
  TandrelRun run;
  ASSERT_TRUE(run.Start(MainAtOnce())) << run.failure;
  const std::vector<Hosted> hosted = HostClients(run, 3);
  ASSERT_EQ(hosted.size(), 3u);
  const std::vector<HWND> tabs = run.Tabs();
  ASSERT_EQ(tabs.size(), 4u);
  ASSERT_TRUE(TabIs(run, tabs[2], hosttest::kSelected));
  const int visibleBefore = run.VisibleHostCount();
  EXPECT_EQ(visibleBefore, 3) << "an adoption shows its pane without hiding the others";

  run.ClickTab(tabs[2]);  // already selected
  support::PumpMessagesFor(700);
  EXPECT_EQ(run.VisibleHostCount(), visibleBefore);
  EXPECT_TRUE(TabIs(run, tabs[2], hosttest::kSelected));
  EXPECT_TRUE(TabIs(run, tabs[0], hosttest::kUnselected));

  run.ClickTab(tabs[1]);
  EXPECT_TRUE(support::WaitFor([&] { return OnlyHostVisible(run, 2); }, 2000));
  EXPECT_TRUE(TabIs(run, tabs[1], hosttest::kSelected));
  for (int i : {0, 2, 3}) EXPECT_TRUE(TabIs(run, tabs[i], hosttest::kUnselected)) << "tab " << i + 1;

  // The second window is the current one now: the pointer guard acts on it.
  const POINT band = run.ScreenPoint(hosted[1].window, run.PaneWidth() - 100, 10);
  hosttest::MovePointerTo(band.x, band.y);
  EXPECT_TRUE(support::WaitFor([&] { return !IsWindowEnabled(hosted[1].window); }, 2000));
  hosttest::MovePointerTo(band.x, band.y + 100);
  EXPECT_TRUE(support::WaitFor([&] { return IsWindowEnabled(hosted[1].window) != FALSE; }, 2000));
}

TEST(TabsAndGuards, AddTabDisablesEveryTabUntilTheLaunchEnds) {
  TandrelRun run;
  ASSERT_TRUE(run.Start(MainAtOnce())) << run.failure;
  ASSERT_EQ(HostClients(run, 1).size(), 1u);
  standin::WriteScript(run.Client(), hosttest::kClientPlace);  // the next start shows a login window
  const std::vector<HWND> tabs = run.Tabs();
  ASSERT_EQ(tabs.size(), 2u);

  run.ClickTab(tabs[1]);
  EXPECT_TRUE(support::WaitFor([&] { return AllTabsEnabled(run, false); }, 2000));
  EXPECT_TRUE(TabIs(run, tabs[1], hosttest::kSelected));
  EXPECT_TRUE(TabIs(run, tabs[0], hosttest::kUnselected));

  HWND login = nullptr;
  DWORD loginPid = 0;
  ASSERT_TRUE(support::WaitFor(
      [&] {
        const std::vector<DWORD> pids = hosttest::StartedPids(run.Client());
        if (pids.size() < 2) return false;
        loginPid = pids.back();
        login = hosttest::ClientLoginWindow(run.Client(), loginPid);
        return login && hosttest::ParentOf(login) == run.Main();
      },
      15000));

  // A disabled tab raises nothing.
  run.ClickTab(tabs[0]);
  support::PumpMessagesFor(500);
  EXPECT_TRUE(TabIs(run, tabs[0], hosttest::kUnselected));

  // A press over the embedded login window (not the current window) is ignored by the guard.
  RECT lr;
  GetWindowRect(login, &lr);
  hosttest::PressAt(lr.right - 31, lr.top + 24);
  support::PumpMessagesFor(700);
  EXPECT_TRUE(hosttest::ProcessRunning(loginPid));
  EXPECT_TRUE(IsWindowEnabled(login));

  PostMessageA(login, WM_CLOSE, 0, 0);
  EXPECT_TRUE(support::WaitFor([&] { return AllTabsEnabled(run, true); }, 4000));
  EXPECT_TRUE(TabIs(run, tabs[1], hosttest::kUnselected));
}

TEST(TabsAndGuards, AddTabWhileTheSixthIsBeingAdoptedLaunchesNothing) {
  TandrelRun run;
  ASSERT_TRUE(run.Start(MainAtOnce())) << run.failure;
  const std::vector<Hosted> hosted = HostClients(run, 5);
  ASSERT_EQ(hosted.size(), 5u);

  // The sixth stops handling messages as soon as its main window shows: the adoption then
  // waits in the reparenting with six counted and five windows in the list.
  const std::string since = support::LogTimestampNow();
  standin::WriteScript(run.Client(), std::string(hosttest::kClientPlace) + "start main\nhang 0 6000\n");
  support::Process sixth = support::StartProcess(run.Client().exePath);
  ASSERT_TRUE(sixth);
  ASSERT_TRUE(standin::WaitForLog(run.Client(), sixth.id, "hang", {}, 10000));
  HWND w6 = hosttest::ClientMainWindow(run.Client(), sixth.id);
  ASSERT_NE(w6, nullptr);
  // On a busy machine the monitor may take a while to find it: wait for its word.
  const std::string adopting = "adopting: window " + host::HandleText(w6) + " into pane 6";
  std::vector<support::ProgramLogLine> lines;
  EXPECT_TRUE(support::WaitFor(
      [&] {
        lines = support::ProgramLogLines(run.Pid(), since);
        return support::FindLogLine(lines, adopting) < lines.size();
      },
      10000))
      << support::LogLinesText(lines);
  const size_t startsBefore = hosttest::StartedPids(run.Client()).size();

  const std::vector<HWND> tabs = run.Tabs();
  ASSERT_EQ(tabs.size(), 6u);
  run.ClickTab(tabs[5]);
  support::PumpMessagesFor(2500);
  EXPECT_EQ(hosttest::StartedPids(run.Client()).size(), startsBefore) << "a client was launched";
  EXPECT_TRUE(TabIs(run, tabs[5], hosttest::kUnselected)) << "the add tab turns grey again";
  for (int i = 0; i < 5; ++i) {
    EXPECT_TRUE(TabIs(run, tabs[i], hosttest::kSelected)) << "tab " << i + 1 << ": its pane is visible";
  }
  EXPECT_TRUE(AllTabsEnabled(run, true));

  EXPECT_TRUE(run.WaitForHosted(w6, 6, 15000));
  support::PumpMessagesFor(1000);
  EXPECT_EQ(run.Tabs().size(), 6u) << "no add tab with six hosted";
}

TEST(TabsAndGuards, PointerBandAndCloseBoxAtTheirExactBoundaries) {
  TandrelRun run;
  ASSERT_TRUE(run.Start(MainAtOnce())) << run.failure;
  const std::vector<Hosted> hosted = HostClients(run, 1);
  ASSERT_EQ(hosted.size(), 1u);
  const HWND w = hosted[0].window;
  const int pw = run.PaneWidth();
  RECT r;
  GetWindowRect(w, &r);
  auto at = [&](int x, int y) { return POINT{r.left + x, r.top + y}; };

  struct Step { int x, y; bool enabled; };
  const Step steps[] = {
      {pw - 149, 30, false}, {pw - 150, 30, true}, {pw - 149, 30, false}, {pw - 149, 31, true},
      {pw - 34, 0, false},   {pw - 33, 0, true},
  };
  for (const Step& s : steps) {
    const POINT p = at(s.x, s.y);
    hosttest::MovePointerTo(p.x, p.y);
    EXPECT_TRUE(support::WaitFor([&] { return (IsWindowEnabled(w) != FALSE) == s.enabled; }, 2000))
        << "pointer at (" << s.x << ", " << s.y << ") relative to the window";
  }

  struct Press { int x, y; bool right; };
  const Press harmless[] = {{pw - 31, 24, true}, {pw - 32, 24, false}, {pw - 31, 25, false}};
  for (const Press& press : harmless) {
    const POINT p = at(press.x, press.y);
    hosttest::PressAt(p.x, p.y, press.right);
    support::PumpMessagesFor(800);
    EXPECT_TRUE(hosttest::ProcessRunning(hosted[0].pid))
        << (press.right ? "right" : "left") << " press at (" << press.x << ", " << press.y << ") ended the client";
    if (!press.right) {
      // The client got the press at exactly that pixel: the boundary was really tested.
      EXPECT_FALSE(standin::FindLog(run.Client(), hosted[0].pid, "click",
                                    {"main", std::to_string(press.x), std::to_string(press.y)})
                       .empty());
    }
  }
  // Straight from the band (the window disabled) into the close box.
  const POINT band = at(pw - 100, 10);
  hosttest::MovePointerTo(band.x, band.y);
  ASSERT_TRUE(support::WaitFor([&] { return !IsWindowEnabled(w); }, 2000));
  const POINT close = at(pw - 31, 24);
  hosttest::PressAt(close.x, close.y);
  EXPECT_TRUE(support::WaitFor([&] { return !hosttest::ProcessRunning(hosted[0].pid); }, 3000))
      << "a left press in the close box did not end the client";
  EXPECT_TRUE(support::WaitFor([&] { return run.Tabs().size() == 1; }, 3000));
}

TEST(TabsAndGuards, AltAHidesAndShowsTheMainWindowOnlyWithSomethingHosted) {
  TandrelRun run;
  ASSERT_TRUE(run.Start(MainAtOnce())) << run.failure;
  const HWND main = run.Main();

  hosttest::KeyDown(VK_LMENU);
  hosttest::KeyDown('A');
  support::PumpMessagesFor(600);
  EXPECT_TRUE(hosttest::HasVisibleStyle(main)) << "nothing hosted: Alt+A does nothing";
  hosttest::KeyUp('A');
  hosttest::KeyUp(VK_LMENU);
  support::PumpMessagesFor(300);
  EXPECT_TRUE(hosttest::HasVisibleStyle(main));

  ASSERT_EQ(HostClients(run, 1).size(), 1u);
  // Under Windows an injected key while Alt is held carries flags the hook ignores; Wine
  // reports SendInput keys like typed ones, so real input from the test reaches the handler.
  hosttest::KeyDown(VK_LMENU);
  hosttest::KeyDown('A');
  EXPECT_TRUE(support::WaitFor([&] { return !hosttest::HasVisibleStyle(main) && IsIconic(main); }, 2000))
      << "Alt held and A pressed must minimise and hide MainWindow";
  hosttest::KeyUp('A');
  EXPECT_TRUE(support::WaitFor([&] { return hosttest::HasVisibleStyle(main) && !IsIconic(main); }, 2000))
      << "releasing A must restore and show MainWindow";
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  const DWORD uiThread = GetWindowThreadProcessId(main, nullptr);
  EXPECT_TRUE(support::WaitFor(
      [&] { return GetGUIThreadInfo(uiThread, &info) && info.hwndActive == main; }, 2000))
      << "MainWindow is the active window of its thread again";
  hosttest::KeyUp(VK_LMENU);
}

TEST(TabsAndGuards, MovingTheMainWindowNudgesHostedWindowsAndTheLoginWindow) {
  TandrelRun run;
  ASSERT_TRUE(run.Start(MainAtOnce())) << run.failure;
  const std::vector<Hosted> hosted = HostClients(run, 2);
  ASSERT_EQ(hosted.size(), 2u);
  standin::WriteScript(run.Client(), hosttest::kClientPlace);
  run.ClickTab(run.Tabs().at(2));
  HWND login = nullptr;
  DWORD loginPid = 0;
  ASSERT_TRUE(support::WaitFor(
      [&] {
        const std::vector<DWORD> pids = hosttest::StartedPids(run.Client());
        if (pids.size() < 3) return false;
        loginPid = pids.back();
        login = hosttest::ClientLoginWindow(run.Client(), loginPid);
        return login && hosttest::ParentOf(login) == run.Main() && hosttest::RectInParent(login).x == 380;
      },
      15000));

  const std::string pw = std::to_string(run.PaneWidth()), ph = std::to_string(run.PaneHeight());
  ASSERT_TRUE(standin::FindLog(run.Client(), hosted[0].pid, "moved", {"main", "1", "0"}).empty());
  RECT mr;
  GetWindowRect(run.Main(), &mr);
  SetWindowPos(run.Main(), nullptr, mr.left - 40, mr.top - 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

  for (const Hosted& h : hosted) {
    EXPECT_TRUE(standin::WaitForLog(run.Client(), h.pid, "moved", {"main", "1", "0", pw, ph}, 3000))
        << "hosted window of " << h.pid << " not nudged to x 1";
    EXPECT_TRUE(support::WaitFor(
        [&] {
          const std::vector<standin::LogLine> moves = standin::FindLog(run.Client(), h.pid, "moved", {"main"});
          return !moves.empty() && moves.back().args == std::vector<std::string>{"main", "0", "0", pw, ph};
        },
        3000))
        << "hosted window of " << h.pid << " not back at x 0";
  }
  EXPECT_TRUE(standin::WaitForLog(run.Client(), loginPid, "moved", {"login", "381", "76", "280", "400"}, 3000));
  EXPECT_TRUE(support::WaitFor(
      [&] {
        const std::vector<standin::LogLine> moves = standin::FindLog(run.Client(), loginPid, "moved", {"login"});
        return !moves.empty() && moves.back().args == std::vector<std::string>{"login", "380", "76", "280", "400"};
      },
      3000));
  EXPECT_EQ(hosttest::RectInParent(login).x, 380);
}

}  // namespace
