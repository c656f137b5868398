// The tray icon driven with real clicks in the notification area of Wine's desktop.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "shell_program.h"
#include "tests/fixtures/standin/standin_control.h"
#include "tests/support/program_log.h"

namespace {

using namespace shell_test;

struct RunningProgram {
  support::TempDir dir;
  support::ProgramUnderTest process;
  HWND main = nullptr;
  RECT icon{};
  TrayArea trayBefore;
};

// Starts the program and finds its icon: the one that appeared with it.
void Start(RunningProgram& program) {
  program.trayBefore = SettledTray();
  program.process.Start(support::InstallProgram(program.dir.path()));
  ASSERT_TRUE(program.process);
  program.main = program.process.WaitForMainWindow(20000);
  ASSERT_NE(program.main, nullptr);
  ASSERT_TRUE(WaitForNewTrayIcon(program.trayBefore, 10000, &program.icon)) << "no tray icon appeared";
}

POINT Centre(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

// Clicks until the condition holds. Wine's notification area drops clicks that come soon after
// an icon appears, so a click without effect is made again (each well apart from the last,
// never a double click).
bool ClickUntil(POINT p, bool right, const std::function<bool()>& condition) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    ClickScreen(p.x, p.y, right);
    if (support::WaitFor(condition, 1500)) return true;
  }
  return false;
}

HWND VisibleMenu(DWORD pid) {
  HWND menu = FindWindowOf(pid, "#32768", nullptr);
  return menu && IsWindowVisible(menu) ? menu : nullptr;
}

struct Band { int top; int bottom; };

bool IsHighlight(COLORREF c) { return c == GetSysColor(COLOR_HIGHLIGHT) || c == GetSysColor(COLOR_MENUHILIGHT); }

void MovePointer(int x, int y) {
  INPUT move{};
  move.type = INPUT_MOUSE;
  move.mi.dx = static_cast<LONG>((x * 65535.0) / (GetSystemMetrics(SM_CXSCREEN) - 1));
  move.mi.dy = static_cast<LONG>((y * 65535.0) / (GetSystemMetrics(SM_CYSCREEN) - 1));
  move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &move, sizeof move);
}

// Moves the pointer down the menu and collects the rows drawn highlighted under it.
std::vector<Band> HighlightedRows(DWORD pid, const RECT& menu) {
  std::vector<Band> rows;
  const int x = (menu.left + menu.right) / 2, column = menu.left + 6;
  for (int y = menu.top + 1; y < menu.bottom - 1; y += 2) {
    MovePointer(x, y);
    support::PumpMessagesFor(40);
    if (!VisibleMenu(pid)) break;
    HDC screen = GetDC(nullptr);
    int top = -1, bottom = -1;
    if (IsHighlight(GetPixel(screen, column, y))) {
      top = bottom = y;
      while (top > menu.top && IsHighlight(GetPixel(screen, column, top - 1))) --top;
      while (bottom < menu.bottom - 1 && IsHighlight(GetPixel(screen, column, bottom + 1))) ++bottom;
    }
    ReleaseDC(nullptr, screen);
    if (top >= 0 && (rows.empty() || rows.back().top != top)) rows.push_back({top, bottom + 1});
  }
  return rows;
}


// Ends the program with its own "退出程序", so that its icon leaves the notification area.
void ExitThroughMenu(RunningProgram& program) {
  HWND menu = nullptr;
  ASSERT_TRUE(ClickUntil(Centre(program.icon), true, [&] { return (menu = VisibleMenu(program.process.Id())) != nullptr; }));
  RECT r;
  GetWindowRect(menu, &r);
  // "退出程序" is the last item: near the bottom of the menu.
  ClickScreen((r.left + r.right) / 2, r.bottom - 8, false);
  DWORD code = 1;
  ASSERT_TRUE(program.process.WaitForExit(10000, &code));
  EXPECT_EQ(code, 0u);
}

TEST(Tray, LeftClickShowsTheHiddenMinimisedWindowAtItsNormalSize) {
  RunningProgram program;
  Start(program);
  RECT normal;
  GetWindowRect(program.main, &normal);
  // The close box only minimises and hides.
  PostMessageA(program.main, WM_CLOSE, 0, 0);
  ASSERT_TRUE(support::WaitFor([&] { return !IsWindowVisible(program.main) && IsIconic(program.main); }, 5000));

  POINT p = Centre(program.icon);
  ASSERT_TRUE(ClickUntil(p, false, [&] { return IsWindowVisible(program.main) && !IsIconic(program.main); }));
  RECT shown;
  GetWindowRect(program.main, &shown);
  EXPECT_EQ(shown.left, normal.left);
  EXPECT_EQ(shown.top, normal.top);
  EXPECT_EQ(shown.right - shown.left, normal.right - normal.left);
  EXPECT_EQ(shown.bottom - shown.top, normal.bottom - normal.top);
  ExitThroughMenu(program);
}

TEST(Tray, RightClickOpensTheMenuBesideThePointer) {
  RunningProgram program;
  Start(program);
  // Hidden first (the close box), so that the first command has something to show.
  PostMessageA(program.main, WM_CLOSE, 0, 0);
  ASSERT_TRUE(support::WaitFor([&] { return !IsWindowVisible(program.main); }, 5000));
  POINT p = Centre(program.icon);
  HWND menu = nullptr;
  ASSERT_TRUE(ClickUntil(p, true, [&] { return (menu = VisibleMenu(program.process.Id())) != nullptr; }));
  RECT r;
  GetWindowRect(menu, &r);
  EXPECT_EQ(r.right, p.x - 5);
  // Where it fits below, its top is 5 pixels above the pointer. The icon sits in the bottom
  // taskbar, so the system moves it up instead: Windows flips it to end at that line, Wine
  // keeps it above the taskbar (bottom 1060 for a pointer at 1070 here).
  if (p.y - 5 + (r.bottom - r.top) <= GetSystemMetrics(SM_CYSCREEN)) {
    EXPECT_EQ(r.top, p.y - 5);
  } else {
    EXPECT_LE(r.bottom, p.y - 5);
    EXPECT_GE(r.bottom, p.y - 5 - 20);
  }

  // Two commands with a separator between them and nothing else: hovering down the menu
  // lights up exactly two rows, apart. (Another process cannot read a menu's items under Wine.)
  std::vector<Band> rows = HighlightedRows(program.process.Id(), r);
  ASSERT_EQ(rows.size(), 2u) << "menu rows that light up";
  EXPECT_LE(rows[0].top - r.top, 4);
  EXPECT_LE(r.bottom - rows[1].bottom, 4);
  EXPECT_GE(rows[1].top - rows[0].bottom, 3) << "no separator between the commands";

  // The first row, "显示窗口", shows the window.
  ASSERT_NE(VisibleMenu(program.process.Id()), nullptr);
  EXPECT_FALSE(IsWindowVisible(program.main));
  POINT itemCentre = {(r.left + r.right) / 2, (rows[0].top + rows[0].bottom) / 2};
  ClickScreen(itemCentre.x, itemCentre.y, false);
  EXPECT_TRUE(support::WaitFor([&] { return IsWindowVisible(program.main) && !IsIconic(program.main); }, 5000));
  ExitThroughMenu(program);
}

// A restarted shell has lost every icon and broadcasts "TaskbarCreated". Wine's notification
// area lives in the explorer.exe that owns the virtual desktop, so it cannot be restarted on
// its own: the icon is taken away here as a new shell would not have it, then the broadcast.
TEST(Tray, TheIconComesBackWhenANewTaskbarIsAnnounced) {
  RunningProgram program;
  Start(program);
  NOTIFYICONDATAA lost{};
  lost.cbSize = sizeof lost;
  lost.hWnd = program.main;
  lost.uID = 100;
  ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &lost));
  ASSERT_TRUE(support::WaitFor([&] { return !ChangedBox(program.trayBefore, CaptureTrayArea(), nullptr); }, 5000))
      << "the icon did not go";

  const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
  ASSERT_NE(taskbarCreated, 0u);
  SendNotifyMessageA(HWND_BROADCAST, taskbarCreated, 0, 0);
  ASSERT_TRUE(WaitForNewTrayIcon(program.trayBefore, 10000, &program.icon)) << "the icon did not come back";

  // It is the program's icon again: a click on it shows the hidden window.
  PostMessageA(program.main, WM_CLOSE, 0, 0);
  ASSERT_TRUE(support::WaitFor([&] { return !IsWindowVisible(program.main); }, 5000));
  EXPECT_TRUE(ClickUntil(Centre(program.icon), false, [&] { return IsWindowVisible(program.main) != FALSE; }));
  ExitThroughMenu(program);
}

TEST(Tray, ExitEndsWithCodeZeroAndHostedClientsSurvive) {
  RunningProgram program;
  Start(program);
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

  ExitThroughMenu(program);
  EXPECT_TRUE(client.Running());
  EXPECT_TRUE(IsWindow(hosted));
  EXPECT_EQ(GetAncestor(hosted, GA_PARENT), GetDesktopWindow());
  // Shown without waiting for the client (asynchronously), so it may take a moment.
  EXPECT_TRUE(support::WaitFor([&] { return IsWindowVisible(hosted) != FALSE; }, 3000));
  EXPECT_TRUE(IsWindowEnabled(hosted));
  // The icon has gone from the notification area.
  EXPECT_TRUE(support::WaitFor([&] { return !ChangedBox(program.trayBefore, CaptureTrayArea(), nullptr); }, 5000));
}

TEST(Tray, TheLogShowsTheSessionFromStartThroughTheUpdateDecisionToTheExit) {
  const std::string before = support::LogTimestampNow();
  RunningProgram program;
  Start(program);
  const DWORD pid = program.process.Id();
  ExitThroughMenu(program);
  const std::string after = support::LogTimestampNow();

  const std::vector<support::ProgramLogLine> lines = support::ProgramLogLines(pid, before);
  ASSERT_FALSE(lines.empty()) << "no line of process " << pid << " since " << before;
  const std::string seen = support::LogLinesText(lines);
  auto find = [&](const std::string& prefix, size_t from) { return support::FindLogLine(lines, prefix, from); };
  const size_t start = find("start: Tandrel ", 0);
  const size_t decision = find("update check: ", start);
  const size_t ending = find("ending: ", decision);
  ASSERT_LT(start, lines.size()) << seen;
  ASSERT_LT(decision, lines.size()) << "no update decision after the start\n" << seen;
  ASSERT_LT(ending, lines.size()) << "no exit reason after the update decision\n" << seen;
  // "start: Tandrel <FileVersion> in <directory>"
  const std::string& startText = lines[start].text;
  const std::string where = " in " + program.dir.path();
  ASSERT_GE(startText.size(), where.size());
  EXPECT_EQ(startText.substr(startText.size() - where.size()), where) << startText;
  const std::string version = startText.substr(15, startText.size() - where.size() - 15);
  EXPECT_FALSE(version.empty());
  EXPECT_EQ(version.find_first_not_of("0123456789."), std::string::npos) << startText;
  EXPECT_EQ(lines[ending].text, "ending: the user chose exit (exit code 0)");
  // Readable timestamps, in order, within the test's own run.
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_TRUE(support::IsLogTimestamp(lines[i].timestamp)) << lines[i].timestamp;
    if (i > 0) {
      EXPECT_LE(lines[i - 1].timestamp, lines[i].timestamp);
    }
  }
  EXPECT_LE(lines.back().timestamp, after);
}

}  // namespace

