// The user's exit while we hold client windows: it is seen at once (our windows, the tray
// icon and the single-instance name gone), no client window is destroyed by our end, and a
// hung client delays only the end of our process, never what the user sees.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell_program.h"
#include "tests/e2e/host/host_e2e.h"

namespace {

using hosttest::TandrelRun;

HWND VisibleMenuOf(DWORD pid) {
  HWND menu = shell_test::FindWindowOf(pid, "#32768", nullptr);
  return menu && IsWindowVisible(menu) ? menu : nullptr;
}

// Right-clicks the icon until the program's menu shows (Wine's notification area drops
// clicks that come soon after an icon appears), then clicks its last item, "退出程序".
// The tick count of that click, or 0 when the menu never showed.
DWORD ChooseExitFromTrayMenu(DWORD pid, const RECT& icon) {
  HWND menu = nullptr;
  for (int attempt = 0; attempt < 5 && !menu; ++attempt) {
    shell_test::ClickScreen((icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2, true);
    support::WaitFor([&] { return (menu = VisibleMenuOf(pid)) != nullptr; }, 1500);
  }
  if (!menu) return 0;
  RECT r;
  GetWindowRect(menu, &r);
  shell_test::ClickScreen((r.left + r.right) / 2, r.bottom - 8, false);
  return GetTickCount();
}

bool IsTopLevelAndShown(HWND w) {
  return IsWindow(w) && GetAncestor(w, GA_PARENT) == GetDesktopWindow() && IsWindowVisible(w);
}

DWORD OwnerOf(HWND w) {
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  return pid;
}

// What is left of a budget that began at `since`.
DWORD Left(DWORD since, DWORD budgetMs) {
  const DWORD spent = GetTickCount() - since;
  return spent < budgetMs ? budgetMs - spent : 0;
}

// What the user sees of the exit, within a second of choosing it.
void ExpectExitSeenWithinASecond(DWORD pid, const shell_test::TrayArea& trayBefore, DWORD chosenAt) {
  EXPECT_TRUE(support::WaitFor([&] { return shell_test::WindowsOf(pid, true).empty(); }, Left(chosenAt, 1000)))
      << "a window of ours was still shown a second after the exit";
  EXPECT_TRUE(support::WaitFor([&] { return !shell_test::InstanceEventExists(); }, Left(chosenAt, 1000)))
      << "the single-instance name was still held a second after the exit";
  EXPECT_TRUE(support::WaitFor(
      [&] { return !shell_test::ChangedBox(trayBefore, shell_test::CaptureTrayArea(), nullptr); },
      Left(chosenAt, 1000), 50))
      << "the tray icon was still there a second after the exit";
}

TEST(ExitFlow, AHungHostedClientHoldsNeitherTheExitNorANewStartAndItsWindowSurvives) {
  constexpr DWORD kHangMs = 20000;
  TandrelRun run;
  TandrelRun::Options options;
  options.clientScript = "start main\nhang main+4000 " + std::to_string(kHangMs) + "\n";
  const shell_test::TrayArea trayBefore = shell_test::SettledTray();
  ASSERT_TRUE(run.Start(options)) << run.failure;
  RECT icon{};
  ASSERT_TRUE(shell_test::WaitForNewTrayIcon(trayBefore, 10000, &icon)) << "no tray icon appeared";
  DWORD clientPid = 0;
  HWND hosted = run.StartClientAndWaitForAdoption(&clientPid);
  ASSERT_NE(hosted, nullptr);
  ASSERT_TRUE(run.WaitForHosted(hosted, 1));
  ASSERT_TRUE(standin::WaitForLog(run.Client(), clientPid, "hang", {}, 10000));
  const DWORD hangSeen = GetTickCount();
  support::PumpMessagesFor(7000 - (GetTickCount() - hangSeen));

  const DWORD chosenAt = ChooseExitFromTrayMenu(run.Pid(), icon);
  ASSERT_NE(chosenAt, 0u) << "the tray menu did not open";
  ExpectExitSeenWithinASecond(run.Pid(), trayBefore, chosenAt);
  // Our process waits for the client, holding its window: it is not destroyed.
  EXPECT_TRUE(IsWindow(hosted));
  EXPECT_TRUE(standin::FindLog(run.Client(), clientPid, "resumed").empty()) << "the client's hang ended too soon";

  // A new start within three seconds is not refused: it shows its window.
  support::ProgramUnderTest second;
  ASSERT_TRUE(second.Start(run.Dir() + "\\tandrel.exe"));
  EXPECT_LT(GetTickCount() - chosenAt, 3000u);
  const HWND secondMain = second.WaitForMainWindow(20000);
  EXPECT_NE(secondMain, nullptr) << "the new start showed no window";
  EXPECT_TRUE(second.Running());

  // The old process ends within three seconds of the client answering, with exit code 0.
  ASSERT_TRUE(standin::WaitForLog(run.Client(), clientPid, "resumed", {}, kHangMs + 5000));
  DWORD code = 99;
  EXPECT_EQ(WaitForSingleObject(run.Process(), 3000), WAIT_OBJECT_0) << "the old process outlived the hang by 3 s";
  GetExitCodeProcess(run.Process(), &code);
  EXPECT_EQ(code, 0u);

  // The client's window survived: top-level again, or taken in by the new start.
  EXPECT_TRUE(hosttest::ProcessRunning(clientPid));
  EXPECT_TRUE(IsWindow(hosted));
  EXPECT_TRUE(support::WaitFor(
      [&] {
        const HWND parent = GetAncestor(hosted, GA_PARENT);
        return IsTopLevelAndShown(hosted) || (parent != nullptr && OwnerOf(parent) == second.Id());
      },
      5000))
      << "the client's window is neither top-level nor hosted by the new start";
  EXPECT_TRUE(standin::FindLog(run.Client(), clientPid, "close").empty());
  second.End();
}

// Our main window hidden: an adoption then waits for the window to show (it cannot, inside
// a hidden window) with the window already in pane 1 and no avatar yet. The exit must hand
// that window back all the same.
TEST(ExitFlow, AWindowBeingAdoptedWhileTheMainWindowIsHiddenSurvivesTheExit) {
  TandrelRun run;
  TandrelRun::Options options;
  options.clientScript = "start main\n";
  const shell_test::TrayArea trayBefore = shell_test::SettledTray();
  ASSERT_TRUE(run.Start(options)) << run.failure;
  RECT icon{};
  ASSERT_TRUE(shell_test::WaitForNewTrayIcon(trayBefore, 10000, &icon)) << "no tray icon appeared";
  PostMessageA(run.Main(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(support::WaitFor([&] { return !IsWindowVisible(run.Main()); }, 5000));

  standin::RunningClient client = run.StartClient();
  ASSERT_TRUE(client);
  HWND w = nullptr;
  ASSERT_TRUE(support::WaitFor(
      [&] {
        if (!w) w = hosttest::ClientMainWindow(run.Client(), client.pid());
        return w && run.HostOf(w) == 1;
      },
      15000, 20))
      << "the client's window did not go into pane 1";
  EXPECT_EQ(run.Tabs().size(), 1u) << "the adoption had finished already (an avatar tab and a new add tab)";

  const DWORD chosenAt = ChooseExitFromTrayMenu(run.Pid(), icon);
  ASSERT_NE(chosenAt, 0u) << "the tray menu did not open";
  DWORD code = 99;
  ASSERT_EQ(WaitForSingleObject(run.Process(), 5000), WAIT_OBJECT_0);
  GetExitCodeProcess(run.Process(), &code);
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(client.Running());
  EXPECT_TRUE(support::WaitFor([&] { return IsTopLevelAndShown(w); }, 3000))
      << "the client's window did not survive top-level and shown";
  EXPECT_TRUE(IsWindowEnabled(w));
}

}  // namespace
