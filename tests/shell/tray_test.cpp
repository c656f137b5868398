// The tray icon driven with real clicks in the notification area of Wine's desktop.
#include <windows.h>

#include <gtest/gtest.h>

#include "shell_program.h"
#include "tests/standin/standin_control.h"

namespace {

using namespace shell_test;

struct RunningProgram {
  support::TempDir dir;
  support::Process process;
  HWND main = nullptr;
  RECT icon{};
  size_t iconsBefore = 0;
};

// Starts the program and finds its icon: the one that appeared with it.
void Start(RunningProgram& program) {
  const size_t before = TrayIcons().size();
  program.iconsBefore = before;
  program.process = StartProgram(InstallProgram(program.dir.path()));
  ASSERT_TRUE(program.process);
  program.main = WaitForMainWindow(program.process.id, 20000);
  ASSERT_NE(program.main, nullptr);
  ASSERT_TRUE(support::WaitFor([&] { return TrayIcons().size() == before + 1; }, 10000))
      << "no tray icon appeared";
  program.icon = TrayIcons().back();
}

POINT Centre(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

HWND WaitForMenu(DWORD pid) {
  HWND menu = nullptr;
  support::WaitFor([&] {
    menu = FindWindowOf(pid, "#32768", nullptr);
    return menu && IsWindowVisible(menu);
  }, 5000);
  return menu && IsWindowVisible(menu) ? menu : nullptr;
}

TEST(Tray, LeftClickShowsTheHiddenMinimisedWindowAtItsNormalSize) {
  RunningProgram program;
  Start(program);
  ProgramGuard guard{program.process};
  RECT normal;
  GetWindowRect(program.main, &normal);
  // The close box only minimises and hides.
  PostMessageA(program.main, WM_CLOSE, 0, 0);
  ASSERT_TRUE(support::WaitFor([&] { return !IsWindowVisible(program.main) && IsIconic(program.main); }, 5000));

  POINT p = Centre(program.icon);
  ClickScreen(p.x, p.y, false);
  ASSERT_TRUE(support::WaitFor([&] { return IsWindowVisible(program.main) && !IsIconic(program.main); }, 5000));
  RECT shown;
  GetWindowRect(program.main, &shown);
  EXPECT_EQ(shown.left, normal.left);
  EXPECT_EQ(shown.top, normal.top);
  EXPECT_EQ(shown.right - shown.left, normal.right - normal.left);
  EXPECT_EQ(shown.bottom - shown.top, normal.bottom - normal.top);
}

TEST(Tray, RightClickOpensTheMenuBesideThePointer) {
  RunningProgram program;
  Start(program);
  ProgramGuard guard{program.process};
  POINT p = Centre(program.icon);
  ClickScreen(p.x, p.y, true);
  HWND menu = WaitForMenu(program.process.id);
  ASSERT_NE(menu, nullptr);
  RECT r;
  GetWindowRect(menu, &r);
  EXPECT_EQ(r.right, p.x - 5);
  // Below the pointer it would leave the screen (the icon sits in the bottom taskbar), so the
  // system moves it up; where it fits, its top is 5 pixels above the pointer.
  if (p.y - 5 + (r.bottom - r.top) <= GetSystemMetrics(SM_CYSCREEN)) {
    EXPECT_EQ(r.top, p.y - 5);
  } else {
    EXPECT_LE(r.bottom, p.y - 5 + 1);
  }

  // The items: "显示窗口", a separator, "退出程序", nothing else.
  HMENU items = reinterpret_cast<HMENU>(SendMessageA(menu, MN_GETHMENU, 0, 0));
  ASSERT_NE(items, nullptr);
  ASSERT_EQ(GetMenuItemCount(items), 3);
  char caption[64] = {};
  GetMenuStringA(items, 0, caption, sizeof caption, MF_BYPOSITION);
  EXPECT_STREQ(caption, "显示窗口");
  EXPECT_TRUE(GetMenuState(items, 1, MF_BYPOSITION) & MF_SEPARATOR);
  GetMenuStringA(items, 2, caption, sizeof caption, MF_BYPOSITION);
  EXPECT_STREQ(caption, "退出程序");

  // The first item shows the window.
  PostMessageA(program.main, WM_CLOSE, 0, 0);
  ASSERT_TRUE(support::WaitFor([&] { return !IsWindowVisible(program.main); }, 5000));
  RECT item;
  ASSERT_TRUE(GetMenuItemRect(nullptr, items, 0, &item));
  POINT itemCentre = Centre(item);
  ClickScreen(itemCentre.x, itemCentre.y, false);
  EXPECT_TRUE(support::WaitFor([&] { return IsWindowVisible(program.main) && !IsIconic(program.main); }, 5000));
}

TEST(Tray, ExitEndsWithCodeZeroAndHostedClientsSurvive) {
  RunningProgram program;
  Start(program);
  ProgramGuard guard{program.process};
  // A client that shows its main window at once is adopted into a pane by the program.
  support::TempDir clientDir;
  standin::Installation wechat = standin::Install(clientDir.path(), "start main\n");
  ASSERT_TRUE(wechat);
  standin::RunningClient client = standin::Start(wechat);
  ASSERT_TRUE(client);
  HWND hosted = nullptr;
  ASSERT_TRUE(support::WaitFor([&] {
    hosted = standin::WindowFromLog(wechat, client.pid(), "main");
    return hosted && GetAncestor(hosted, GA_PARENT) != GetDesktopWindow();
  }, 20000)) << "the client was not adopted";

  POINT p = Centre(program.icon);
  ClickScreen(p.x, p.y, true);
  HWND menu = WaitForMenu(program.process.id);
  ASSERT_NE(menu, nullptr);
  RECT r;
  GetWindowRect(menu, &r);
  // "退出程序" is the last item: click near the bottom of the menu.
  ClickScreen((r.left + r.right) / 2, r.bottom - 8, false);

  DWORD code = 1;
  ASSERT_TRUE(support::WaitForExit(program.process, 10000, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(client.Running());
  EXPECT_TRUE(IsWindow(hosted));
  EXPECT_EQ(GetAncestor(hosted, GA_PARENT), GetDesktopWindow());
  EXPECT_TRUE(IsWindowVisible(hosted));
  EXPECT_TRUE(IsWindowEnabled(hosted));
  EXPECT_TRUE(support::WaitFor([&] { return TrayIcons().size() == program.iconsBefore; }, 5000));
}

}  // namespace
