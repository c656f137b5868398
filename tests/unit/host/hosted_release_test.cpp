// Handing hosted client windows back to the desktop before the program ends itself.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "host/instance_host.h"
#include "host/system_foreign_windows.h"
#include "tests/fixtures/standin/standin_control.h"
#include "tests/support/test_support.h"

namespace {

LRESULT CALLBACK PaneProc(HWND w, UINT m, WPARAM wp, LPARAM lp) noexcept { return DefWindowProcA(w, m, wp, lp); }

HWND MakePane() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = PaneProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "ReleaseTestPane";
  RegisterClassA(&wc);
  // Hidden, as the host panes of a hidden main window are.
  return CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr,
                         wc.hInstance, nullptr);
}

// The form's part played by two plain windows of this test: the main window and pane 1.
class TwoWindowView final : public host::HostView {
 public:
  TwoWindowView(HWND main, HWND pane) : main_(main), pane_(pane) {}
  void Render(host::HostSnapshot) override {}
  HWND MainWindow() override { return main_; }
  HWND Pane(int k) override { return k == 1 ? pane_ : nullptr; }
  host::PaneSize PaneSizeOf() override { return {800, 600}; }
  void LoadPanes() override {}
  void HideMainWindow() override {}
  void ShowMainWindow() override {}
  bool PostToUiThread(std::function<void()>) override { return false; }
  void FirstUseNoticeAndEnd() override {}

 private:
  HWND main_, pane_;
};

bool IsBackOnDesktop(HWND w) {
  return GetAncestor(w, GA_PARENT) == GetDesktopWindow() && IsWindowVisible(w) && IsWindowEnabled(w);
}

TEST(HostedRelease, HostedAndLoginWindowsGoBackToTheDesktopAndTheirClientsRun) {
  support::TempDir hostedDir, loginDir;
  standin::Installation hostedClient = standin::Install(hostedDir.path(), "start main\n");
  standin::Installation loginClient = standin::Install(loginDir.path(), "start login\n");
  ASSERT_TRUE(hostedClient && loginClient);
  standin::RunningClient first = standin::Start(hostedClient);
  standin::RunningClient second = standin::Start(loginClient);
  ASSERT_TRUE(standin::WaitForLog(hostedClient, first.pid(), "shown", {"main"}, 10000));
  ASSERT_TRUE(standin::WaitForLog(loginClient, second.pid(), "shown", {"login"}, 10000));
  HWND hosted = standin::WindowFromLog(hostedClient, first.pid(), "main");
  HWND login = standin::WindowFromLog(loginClient, second.pid(), "login");
  ASSERT_TRUE(hosted && login);

  // Held by the host itself: the main window adopted into our hidden pane 1 (hidden with
  // it), the login window embedded in our main window by a launch, and then disabled.
  HWND pane = MakePane(), main = MakePane();
  host::SystemForeignWindows windows;
  TwoWindowView view(main, pane);
  host::HostSettings settings;
  settings.routeFilePath = hostedDir.path() + "\\route.dat";
  settings.timings.visibilityLimitMs = 200;  // the pane stays hidden
  settings.timings.avatarDelayMs = 0;
  settings.timings.launchFirstWaitMs = 0;
  host::InstanceHost instanceHost(windows, view, settings);
  instanceHost.RunCycle();
  ASSERT_EQ(instanceHost.Snapshot().hostedWindows, std::vector<HWND>{hosted});
  std::thread launch([&] { instanceHost.RunLaunch(); });
  const bool embedded = support::WaitFor([&] { return GetAncestor(login, GA_PARENT) == main; }, 5000);
  EnableWindow(hosted, FALSE);
  ASSERT_TRUE(support::WaitFor([&] { return GetAncestor(hosted, GA_PARENT) == pane && !IsWindowEnabled(hosted); }, 5000));
  EXPECT_TRUE(embedded);
  EXPECT_EQ(instanceHost.Snapshot().loginWindow, login);

  ASSERT_TRUE(instanceHost.StartHandBack()->WaitForAll(10000));
  launch.join();  // the stop ends the launch's wait for the login window to go
  EXPECT_TRUE(support::WaitFor([&] { return IsBackOnDesktop(hosted); }, 5000));
  EXPECT_TRUE(support::WaitFor([&] { return IsBackOnDesktop(login); }, 5000));
  // Our windows going away now no longer takes the clients' windows with them.
  DestroyWindow(pane);
  DestroyWindow(main);
  support::PumpMessagesFor(200);
  EXPECT_TRUE(IsWindow(hosted));
  EXPECT_TRUE(IsWindow(login));
  EXPECT_TRUE(first.Running());
  EXPECT_TRUE(second.Running());
  // The clients saw a change of parent and nothing else (no close).
  EXPECT_TRUE(standin::WaitForLog(hostedClient, first.pid(), "parent", {"main", "0"}, 3000));
  EXPECT_TRUE(standin::FindLog(hostedClient, first.pid(), "close").empty());
}

// A hosted client that stops handling messages: the hand-back returns to its caller at once,
// leaves the window in our pane while the client is hung (moving it would wait for the
// client), and hands it back as soon as the client answers again.
TEST(HostedRelease, AHungClientsWindowGoesBackOnceItAnswersWithoutHoldingTheCaller) {
  support::TempDir dir;
  standin::Installation client = standin::Install(dir.path(), "start main\nhang main+1500 6000\n");
  ASSERT_TRUE(client);
  standin::RunningClient running = standin::Start(client);
  ASSERT_TRUE(standin::WaitForLog(client, running.pid(), "shown", {"main"}, 10000));
  HWND w = standin::WindowFromLog(client, running.pid(), "main");
  ASSERT_NE(w, nullptr);

  HWND pane = MakePane(), main = MakePane();
  ShowWindow(pane, SW_SHOWNA);  // the pane visible, so the adoption does not wait for it
  host::SystemForeignWindows windows;
  TwoWindowView view(main, pane);
  host::HostSettings settings;
  settings.routeFilePath = dir.path() + "\\route.dat";
  settings.timings.visibilityLimitMs = 1000;
  settings.timings.avatarDelayMs = 0;
  host::InstanceHost instanceHost(windows, view, settings);
  instanceHost.RunCycle();
  ASSERT_EQ(instanceHost.Snapshot().hostedWindows, std::vector<HWND>{w});
  ASSERT_EQ(GetAncestor(w, GA_PARENT), pane);
  ASSERT_TRUE(standin::WaitForLog(client, running.pid(), "hang", {}, 10000));

  std::shared_ptr<host::HandBack> handBack = instanceHost.StartHandBack();
  // Returned while the client is still hung, with its window still ours.
  EXPECT_TRUE(standin::FindLog(client, running.pid(), "resumed").empty()) << "the start waited for the client";
  EXPECT_EQ(handBack->StateOf(w), host::HandBackState::kPending);
  EXPECT_EQ(GetAncestor(w, GA_PARENT), pane);
  EXPECT_FALSE(handBack->WaitForAll(1000));
  EXPECT_TRUE(standin::FindLog(client, running.pid(), "resumed").empty());

  ASSERT_TRUE(handBack->WaitForAll(20000));
  EXPECT_EQ(handBack->StateOf(w), host::HandBackState::kHandedBack);
  EXPECT_FALSE(standin::FindLog(client, running.pid(), "resumed").empty());
  EXPECT_TRUE(support::WaitFor([&] { return IsBackOnDesktop(w); }, 5000));
  DestroyWindow(pane);
  DestroyWindow(main);
  support::PumpMessagesFor(200);
  EXPECT_TRUE(IsWindow(w));
  EXPECT_TRUE(running.Running());
}

}  // namespace
