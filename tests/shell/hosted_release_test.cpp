// Handing hosted client windows back to the desktop before the program ends itself.
#include <windows.h>

#include <gtest/gtest.h>

#include "host/instance_host.h"
#include "host/registry.h"
#include "tests/standin/standin_control.h"
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

  // Held the way the host holds them: children of our hidden windows, the hosted one
  // disabled and hidden.
  HWND pane = MakePane(), main = MakePane();
  SetParent(hosted, pane);
  SetParent(login, main);
  EnableWindow(hosted, FALSE);
  ShowWindow(hosted, SW_HIDE);
  ASSERT_TRUE(support::WaitFor([&] { return GetAncestor(hosted, GA_PARENT) == pane && !IsWindowEnabled(hosted); }, 5000));
  {
    std::lock_guard<std::mutex> lock(host::Registry().listLock);
    host::Registry().hostedWindows = {hosted};
  }
  host::Registry().loginWindow = login;

  host::ReleaseHostedWindows();
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

}  // namespace
