// The add tab's launch: the client is started (or its open login window reused), the login
// window is held in MainWindow at (380, 76), route.dat follows the client, and the tabs
// come back when the login window has gone.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "tests/e2e/host/host_e2e.h"

namespace {

using hosttest::TandrelRun;

constexpr char kDefaultDir[] = "C:\\Program Files (x86)\\Tencent\\WeChat";
constexpr char kDefaultPath[] = "C:\\Program Files (x86)\\Tencent\\WeChat\\WeChat.exe";

bool AllTabsEnabled(const TandrelRun& run, bool enabled) {
  const std::vector<HWND> tabs = run.Tabs();
  if (tabs.empty()) return false;
  for (HWND t : tabs) {
    if ((IsWindowEnabled(t) != FALSE) != enabled) return false;
  }
  return true;
}

bool EmbeddedAt380x76(const TandrelRun& run, HWND login) {
  const hosttest::Rect r = hosttest::RectInParent(login);
  return hosttest::ParentOf(login) == run.Main() && r.x == 380 && r.y == 76;
}

HWND WaitForLoginWindow(const standin::Installation& installation, DWORD* pid) {
  HWND login = nullptr;
  support::WaitFor(
      [&] {
        const std::vector<DWORD> pids = hosttest::StartedPids(installation);
        if (pids.empty()) return false;
        *pid = pids.back();
        login = hosttest::ClientLoginWindow(installation, *pid);
        return login != nullptr;
      },
      15000, 50);
  return login;
}

TEST(Launch, ClientAtTheDefaultPathIsStartedItsLoginWindowHeldAndRouteWritten) {
  // The stand-in where the real client installs itself, and no route.dat.
  support::RemoveDirectoryTree("C:\\Program Files (x86)\\Tencent");
  SHCreateDirectoryExA(nullptr, kDefaultDir, nullptr);
  const standin::Installation atDefault = standin::Install(kDefaultDir, hosttest::kClientPlace);
  ASSERT_TRUE(atDefault);
  ASSERT_EQ(atDefault.exePath, kDefaultPath);

  {
    TandrelRun run;
    run.Track(atDefault);
    TandrelRun::Options options;
    options.installClient = false;
    options.route = TandrelRun::Route::kNone;
    ASSERT_TRUE(run.Start(options)) << run.failure;
    ASSERT_EQ(run.RouteBytes(), "<missing>");

    const std::vector<HWND> tabs = run.Tabs();
    ASSERT_EQ(tabs.size(), 1u);
    run.ClickTab(tabs[0]);
    EXPECT_TRUE(support::WaitFor([&] { return AllTabsEnabled(run, false); }, 3000));

    DWORD pid = 0;
    HWND login = WaitForLoginWindow(atDefault, &pid);
    ASSERT_NE(login, nullptr) << "the client was not started from the default path";
    ASSERT_TRUE(support::WaitFor([&] { return EmbeddedAt380x76(run, login); }, 10000));
    const hosttest::Rect r = hosttest::RectInParent(login);
    EXPECT_EQ(r.width, 280);  // the login window keeps its own size
    EXPECT_EQ(r.height, 400);
    EXPECT_TRUE(AllTabsEnabled(run, false)) << "tabs stay disabled while the login window is held";

    // The wait of 2000 ms comes between the start and the embedding, by the client's clock.
    standin::LogLine started, parented;
    ASSERT_TRUE(standin::WaitForLog(atDefault, pid, "started", {}, 1000, &started));
    ASSERT_TRUE(standin::WaitForLog(atDefault, pid, "parent", {"login"}, 1000, &parented));
    EXPECT_GE(parented.msOfDay - started.msOfDay, 1900);

    ASSERT_TRUE(standin::RequestLogin(login));
    HWND main = nullptr;
    ASSERT_TRUE(support::WaitFor(
        [&] {
          main = hosttest::ClientMainWindow(atDefault, pid);
          return main && run.HostOf(main) == 1;
        },
        10000));
    EXPECT_TRUE(run.WaitForHosted(main, 1));
    EXPECT_TRUE(support::WaitFor([&] { return run.Tabs().size() == 2 && AllTabsEnabled(run, true); }, 5000));

    // The path's characters and nothing else.
    const std::string route = run.RouteBytes();
    EXPECT_EQ(route.size(), 48u);
    EXPECT_EQ(route, kDefaultPath);
  }
  support::RemoveDirectoryTree("C:\\Program Files (x86)\\Tencent");
}

TEST(Launch, AnOpenLoginWindowIsReusedRouteRewrittenAndNothingStarted) {
  TandrelRun run;
  const standin::Installation other = standin::Install(run.Dir() + "\\other", hosttest::kClientPlace);
  ASSERT_TRUE(other);
  run.Track(other);
  TandrelRun::Options options;
  options.route = TandrelRun::Route::kCustom;
  options.routeBytes = other.exePath;
  ASSERT_TRUE(run.Start(options)) << run.failure;

  standin::RunningClient open = run.StartClient();
  ASSERT_TRUE(open);
  HWND login = nullptr;
  ASSERT_TRUE(support::WaitFor(
      [&] { return (login = standin::FindTopLevelWindow(open.pid(), standin::kLoginWindowClass)) != nullptr; },
      10000));
  standin::LogLine started;
  ASSERT_TRUE(standin::WaitForLog(run.Client(), open.pid(), "started", {}, 1000, &started));
  ASSERT_GE(started.args.size(), 3u);

  run.ClickTab(run.Tabs().at(0));
  ASSERT_TRUE(support::WaitFor([&] { return EmbeddedAt380x76(run, login); }, 10000));
  // The path the client itself reports, byte for byte.
  EXPECT_EQ(run.RouteBytes(), started.args[2]);
  EXPECT_NE(run.RouteBytes(), other.exePath);
  support::PumpMessagesFor(1500);
  EXPECT_TRUE(hosttest::StartedPids(other).empty()) << "the client at route.dat's old path was started";
  EXPECT_EQ(hosttest::StartedPids(run.Client()).size(), 1u) << "a second client was started";
}

TEST(Launch, NoClientAtThePathShowsTheFirstUseNoticeAndEndsTheProgram) {
  TandrelRun run;
  ASSERT_TRUE(run.Start({})) << run.failure;
  // One client hosted first: ending the program must hand it back to the desktop.
  DWORD hostedPid = 0;
  HWND hosted = nullptr;
  {
    standin::WriteScript(run.Client(), std::string(hosttest::kClientPlace) + "start main\n");
    hosted = run.StartClientAndWaitForAdoption(&hostedPid);
    ASSERT_NE(hosted, nullptr);
    ASSERT_TRUE(support::WaitFor([&] { return run.Tabs().size() == 2; }, 5000));
  }
  const std::string missing = run.Dir() + "\\missing\\WeChat.exe";
  ASSERT_TRUE(support::WriteWholeFile(run.RoutePath(), missing));

  run.ClickTab(run.Tabs().at(1));
  HWND box = nullptr;
  ASSERT_TRUE(support::WaitFor(
      [&] {
        box = FindWindowA("#32770", "提示信息");
        DWORD pid = 0;
        if (box) GetWindowThreadProcessId(box, &pid);
        return box && pid == run.Pid();
      },
      10000));
  EXPECT_EQ(hosttest::WindowText(GetDlgItem(box, 0xFFFF)),
            "第一次使用，先打开微信登录窗口或微信，再启动多开软件！");
  EXPECT_EQ(GetWindow(box, GW_OWNER), run.Main());
  EXPECT_TRUE(run.Running()) << "the program ended before the notice was closed";

  HWND ok = GetDlgItem(box, IDOK);
  ASSERT_NE(ok, nullptr);
  // The box places itself once shown; the button is read where it ends up, and a first
  // click may only activate the box.
  ASSERT_TRUE(support::WaitFor([&] { return IsWindowVisible(box) != FALSE; }, 3000));
  support::PumpMessagesFor(300);
  for (int attempt = 0; attempt < 3 && IsWindow(box) && IsWindowVisible(box); ++attempt) {
    RECT okRect;
    GetWindowRect(ok, &okRect);
    hosttest::PressAt((okRect.left + okRect.right) / 2, (okRect.top + okRect.bottom) / 2);
    support::WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 1000);
  }

  DWORD exitCode = 99;
  ASSERT_TRUE(support::WaitFor([&] { return !run.Running(); }, 10000)) << [&] {
    std::string log;  // what happened to the hosted client
    for (const standin::LogLine& line : standin::ReadLog(run.Client())) log += line.text + "\n";
    return log;
  }();
  GetExitCodeProcess(run.Process(), &exitCode);
  EXPECT_EQ(exitCode, 0u);
  EXPECT_EQ(run.RouteBytes(), missing) << "route.dat must stay as it was";
  // The hosted client survives as a top-level window of its own.
  EXPECT_TRUE(hosttest::ProcessRunning(hostedPid));
  EXPECT_TRUE(IsWindow(hosted));
  EXPECT_EQ(hosttest::ParentOf(hosted), nullptr);
  EXPECT_TRUE(hosttest::HasVisibleStyle(hosted));
  EXPECT_TRUE(IsWindowEnabled(hosted));
}

TEST(Launch, LoginWindowClosedWithoutLoggingInGivesTheTabsBackAndAdoptsNothing) {
  TandrelRun run;
  ASSERT_TRUE(run.Start({})) << run.failure;
  run.ClickTab(run.Tabs().at(0));
  DWORD pid = 0;
  HWND login = WaitForLoginWindow(run.Client(), &pid);
  ASSERT_NE(login, nullptr);
  ASSERT_TRUE(support::WaitFor([&] { return EmbeddedAt380x76(run, login); }, 10000));

  PostMessageA(login, WM_CLOSE, 0, 0);  // the stand-in ends, as the real client does
  ASSERT_TRUE(support::WaitFor([&] { return !IsWindow(login); }, 5000));
  EXPECT_TRUE(support::WaitFor([&] { return AllTabsEnabled(run, true); }, 3000));
  EXPECT_TRUE(support::WaitFor([&] { return run.TabBackground(run.Tabs().at(0)) == hosttest::kUnselected; }, 3000));
  support::PumpMessagesFor(500);
  EXPECT_EQ(run.Tabs().size(), 1u);
  for (int k = 1; k <= 6; ++k) EXPECT_EQ(GetWindow(run.Host(k), GW_CHILD), nullptr) << "host " << k;
  ASSERT_NE(run.HintText(), nullptr);
  EXPECT_TRUE(hosttest::HasVisibleStyle(run.HintText()));
}

TEST(Launch, ClientShowingItsMainWindowWithoutLoginWindowIsAdoptedAndTabsComeBack) {
  TandrelRun run;
  TandrelRun::Options options;
  options.clientScript = "start main\n";
  ASSERT_TRUE(run.Start(options)) << run.failure;
  run.ClickTab(run.Tabs().at(0));

  DWORD pid = 0;
  HWND main = nullptr;
  ASSERT_TRUE(support::WaitFor(
      [&] {
        const std::vector<DWORD> pids = hosttest::StartedPids(run.Client());
        if (pids.empty()) return false;
        pid = pids.back();
        main = hosttest::ClientMainWindow(run.Client(), pid);
        return main != nullptr;
      },
      15000));
  EXPECT_TRUE(run.WaitForHosted(main, 1));
  // No login window ever comes: the launch stops waiting once the client has been adopted.
  EXPECT_TRUE(support::WaitFor([&] { return run.Tabs().size() == 2 && AllTabsEnabled(run, true); }, 8000));
}

}  // namespace
