// The stand-in client against real processes and windows: what the host's tests rely on.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/standin/standin_control.h"
#include "tests/standin/standin_paint.h"
#include "tests/support/test_support.h"

namespace {

using standin::Installation;
using standin::RunningClient;

constexpr DWORD kTimeout = 10000;

class StandinClient : public testing::Test {
 protected:
  Installation InstallWith(const std::string& script) {
    Installation installation = standin::Install(dir_.path(), script);
    EXPECT_TRUE(installation) << "could not copy " << standin::ClientBuildPath();
    return installation;
  }
  // The colour the client announced in its "started" line, as a COLORREF.
  static COLORREF AnnouncedColour(const Installation& installation, DWORD pid) {
    std::vector<standin::LogLine> started = standin::FindLog(installation, pid, "started");
    if (started.empty() || started[0].args.size() < 2) return CLR_INVALID;
    unsigned long rgb = std::strtoul(started[0].args[1].c_str(), nullptr, 16);
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
  }
  static HWND FindByClassAndTitle(const char* className) {
    return FindWindowExA(nullptr, nullptr, className, standin::kWindowTitle);
  }

  support::TempDir dir_;
};

COLORREF ScreenPixel(int x, int y) {
  HDC screen = GetDC(nullptr);
  COLORREF c = GetPixel(screen, x, y);
  ReleaseDC(nullptr, screen);
  return c;
}

// The main window found the way the host finds it, belonging to the client, with the avatar
// square exactly at window (9, 36) to (44, 71) in the colour the client announced.
void ExpectMainWindowWithAvatar(const Installation& installation, const RunningClient& client) {
  HWND main = FindWindowExA(nullptr, nullptr, standin::kMainWindowClass, standin::kWindowTitle);
  ASSERT_NE(main, nullptr);
  DWORD owner = 0;
  GetWindowThreadProcessId(main, &owner);
  EXPECT_EQ(owner, client.pid());
  EXPECT_TRUE(IsWindowVisible(main));
  EXPECT_EQ(main, standin::WindowFromLog(installation, client.pid(), "main"));

  std::vector<standin::LogLine> started = standin::FindLog(installation, client.pid(), "started");
  ASSERT_FALSE(started.empty());
  unsigned long rgb = std::strtoul(started[0].args[1].c_str(), nullptr, 16);
  COLORREF avatar = RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
  RECT r;
  GetWindowRect(main, &r);
  struct Probe {
    int x, y;
    bool inSquare;
  } probes[] = {{9, 36, true},  {44, 36, true},  {9, 71, true},  {44, 71, true}, {26, 53, true},
                {8, 36, false}, {45, 36, false}, {9, 35, false}, {9, 72, false}};
  // Screen pixels of a top-level window are readable under Wine; give it time to paint.
  EXPECT_TRUE(support::WaitFor([&] { return ScreenPixel(r.left + 26, r.top + 53) == avatar; }, 3000))
      << "centre of the square is " << std::hex << ScreenPixel(r.left + 26, r.top + 53) << ", expected " << avatar;
  for (const Probe& p : probes) {
    COLORREF c = ScreenPixel(r.left + p.x, r.top + p.y);
    if (p.inSquare)
      EXPECT_EQ(c, avatar) << "window pixel " << p.x << "," << p.y;
    else
      EXPECT_EQ(c, standin::kSideBarColour) << "window pixel " << p.x << "," << p.y;
  }
}

TEST_F(StandinClient, ClickOnTheLoginButtonReplacesTheLoginWindowByTheMainWindow) {
  Installation wechat = InstallWith("position 200 150\n");
  RunningClient client = standin::Start(wechat);
  ASSERT_TRUE(client);
  ASSERT_TRUE(standin::WaitForLog(wechat, client.pid(), "shown", {"login"}, kTimeout));
  HWND login = FindByClassAndTitle(standin::kLoginWindowClass);
  ASSERT_NE(login, nullptr);
  EXPECT_EQ(login, standin::WindowFromLog(wechat, client.pid(), "login"));
  HWND button = FindWindowExA(login, nullptr, "BUTTON", nullptr);
  ASSERT_NE(button, nullptr);
  char text[16] = {};
  GetWindowTextA(button, text, sizeof text);
  EXPECT_STREQ(text, "登录");

  RECT b;
  GetWindowRect(button, &b);
  support::PumpMessagesFor(300);  // let the window settle before real input reaches it
  standin::ClickAt((b.left + b.right) / 2, (b.top + b.bottom) / 2);
  ASSERT_TRUE(standin::WaitForLog(wechat, client.pid(), "login", {"button"}, kTimeout));
  ASSERT_TRUE(standin::WaitForLog(wechat, client.pid(), "shown", {"main"}, kTimeout));
  EXPECT_TRUE(support::WaitFor([&] { return !IsWindow(login); }, 3000));
  EXPECT_EQ(FindByClassAndTitle(standin::kLoginWindowClass), nullptr);
  ExpectMainWindowWithAvatar(wechat, client);
}

TEST_F(StandinClient, ScriptStepAndRegisteredMessageLogInToo) {
  struct Case {
    const char* script;
    bool sendMessage;
    const char* how;
  } cases[] = {{"position 220 160\nlogin login+300\n", false, "script"},
               {"position 220 160\n", true, "message"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    support::TempDir dir;
    Installation wechat = standin::Install(dir.path(), c.script);
    RunningClient client = standin::Start(wechat);
    ASSERT_TRUE(standin::WaitForLog(wechat, client.pid(), "shown", {"login"}, kTimeout));
    if (c.sendMessage) {
      // Nothing happens by itself: the log-in waits for the message.
      support::PumpMessagesFor(500);
      EXPECT_TRUE(standin::FindLog(wechat, client.pid(), "login").empty());
      ASSERT_TRUE(standin::RequestLogin(FindByClassAndTitle(standin::kLoginWindowClass)));
    }
    ASSERT_TRUE(standin::WaitForLog(wechat, client.pid(), "login", {c.how}, kTimeout));
    ASSERT_TRUE(standin::WaitForLog(wechat, client.pid(), "shown", {"main"}, kTimeout));
    ExpectMainWindowWithAvatar(wechat, client);
    client.Stop();
  }
}

TEST_F(StandinClient, LogRecordsReparentingDisablingAndMovesDoneByAnotherProcess) {
  Installation wechat = InstallWith("start main\nsize 400 300\n");
  RunningClient client = standin::Start(wechat);
  ASSERT_TRUE(standin::WaitForLog(wechat, client.pid(), "shown", {"main"}, kTimeout));
  HWND main = standin::WindowFromLog(wechat, client.pid(), "main");
  ASSERT_TRUE(IsWindow(main));

  HWND host = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 700, 500, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(host, nullptr);
  const std::string hostText = std::to_string(reinterpret_cast<UINT_PTR>(host));
  SetParent(main, host);
  EXPECT_TRUE(standin::WaitForLog(wechat, client.pid(), "parent", {"main", hostText}, kTimeout));
  EnableWindow(main, FALSE);
  EXPECT_TRUE(standin::WaitForLog(wechat, client.pid(), "disabled", {"main"}, kTimeout));
  EnableWindow(main, TRUE);
  EXPECT_TRUE(standin::WaitForLog(wechat, client.pid(), "enabled", {"main"}, kTimeout));
  MoveWindow(main, 10, 20, 300, 200, TRUE);
  EXPECT_TRUE(standin::WaitForLog(wechat, client.pid(), "moved", {"main", "10", "20", "300", "200"}, kTimeout));
  ShowWindow(main, SW_HIDE);
  EXPECT_TRUE(standin::WaitForLog(wechat, client.pid(), "hidden", {"main"}, kTimeout));
  SetParent(main, nullptr);
  EXPECT_TRUE(standin::WaitForLog(wechat, client.pid(), "parent", {"main", "0"}, kTimeout));
  DestroyWindow(host);
}

TEST_F(StandinClient, HiddenStartCreatesAnInvisibleMainWindowThatTheHostCanShow) {
  Installation wechat = InstallWith("start hidden\n");
  RunningClient client = standin::Start(wechat);
  ASSERT_TRUE(standin::WaitForLog(wechat, client.pid(), "created", {"main"}, kTimeout));
  support::PumpMessagesFor(300);
  HWND main = FindByClassAndTitle(standin::kMainWindowClass);
  ASSERT_NE(main, nullptr);
  EXPECT_FALSE(IsWindowVisible(main));
  EXPECT_EQ(FindByClassAndTitle(standin::kLoginWindowClass), nullptr);
  ShowWindow(main, SW_SHOWNORMAL);
  EXPECT_TRUE(standin::WaitForLog(wechat, client.pid(), "shown", {"main"}, kTimeout));
}

TEST_F(StandinClient, ResizesItselfWhenScripted) {
  Installation wechat = InstallWith("start main\nsize 800 600\nresize main+300 640 480\n");
  RunningClient client = standin::Start(wechat);
  ASSERT_TRUE(standin::WaitForLog(wechat, client.pid(), "resize", {"640", "480"}, kTimeout));
  HWND main = standin::WindowFromLog(wechat, client.pid(), "main");
  EXPECT_TRUE(support::WaitFor(
      [&] {
        RECT r;
        return GetWindowRect(main, &r) && r.right - r.left == 640 && r.bottom - r.top == 480;
      },
      3000));
}

TEST_F(StandinClient, ShowsAnAlertDialogWhenScripted) {
  Installation wechat = InstallWith("start main\nalert 300\n");
  RunningClient client = standin::Start(wechat);
  ASSERT_TRUE(standin::WaitForLog(wechat, client.pid(), "shown", {"main"}, kTimeout));
  EXPECT_EQ(FindByClassAndTitle(standin::kAlertWindowClass), nullptr);
  ASSERT_TRUE(support::WaitFor([] { return FindWindowExA(nullptr, nullptr, "AlertDialog", "微信") != nullptr; },
                               kTimeout));
  DWORD owner = 0;
  GetWindowThreadProcessId(FindByClassAndTitle(standin::kAlertWindowClass), &owner);
  EXPECT_EQ(owner, client.pid());
}

TEST_F(StandinClient, ExitAndCrashEndTheProcessWithTheirCodes) {
  struct Case {
    const char* script;
    DWORD exitCode;
    const char* lastEvent;
  } cases[] = {{"start main\nexit main+300 7\n", 7, "exiting"},
               {"start main\ncrash main+300\n", EXCEPTION_ACCESS_VIOLATION, "crashing"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    support::TempDir dir;
    Installation wechat = standin::Install(dir.path(), c.script);
    RunningClient client = standin::Start(wechat);
    ASSERT_TRUE(standin::WaitForLog(wechat, client.pid(), "shown", {"main"}, kTimeout));
    HWND main = standin::WindowFromLog(wechat, client.pid(), "main");
    DWORD code = 0;
    ASSERT_TRUE(client.WaitForExit(kTimeout, &code));
    EXPECT_EQ(code, c.exitCode);
    EXPECT_TRUE(support::WaitFor([&] { return !IsWindow(main); }, 3000));
    std::vector<standin::LogLine> log = standin::FindLog(wechat, client.pid(), c.lastEvent);
    EXPECT_EQ(log.size(), 1u);
  }
}

TEST_F(StandinClient, HangStopsAnsweringMessages) {
  Installation wechat = InstallWith("start main\nhang main+1000\n");
  RunningClient client = standin::Start(wechat);
  ASSERT_TRUE(standin::WaitForLog(wechat, client.pid(), "shown", {"main"}, kTimeout));
  HWND main = standin::WindowFromLog(wechat, client.pid(), "main");
  DWORD_PTR answer = 0;
  EXPECT_NE(SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, 500, &answer), 0);
  ASSERT_TRUE(standin::WaitForLog(wechat, client.pid(), "hang", {"forever"}, kTimeout));
  EXPECT_EQ(SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, 500, &answer), 0);
  EXPECT_TRUE(client.Running());
}

// WaitForInputIdle returns once the process waits for input; a client that does not read
// messages never gets there.
TEST_F(StandinClient, BusyClientIsNotInputIdleAndAnOrdinaryOneIs) {
  struct Case {
    const char* script;
    DWORD expected;
  } cases[] = {{"busy 4000\n", WAIT_TIMEOUT}, {"login_window 0\n", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    support::TempDir dir;
    Installation wechat = standin::Install(dir.path(), c.script);
    RunningClient client = standin::Start(wechat);
    ASSERT_TRUE(client);
    EXPECT_EQ(WaitForInputIdle(client.process(), c.expected == 0 ? 5000 : 1000), c.expected);
    client.Stop();
  }
}

TEST_F(StandinClient, InstancesOfOneDirectoryShareTheLogAndGetTheirOwnSections) {
  Installation wechat = InstallWith("start main\n[2]\ncolour 123456\n");
  RunningClient first = standin::Start(wechat);
  ASSERT_TRUE(standin::WaitForLog(wechat, first.pid(), "shown", {"main"}, kTimeout));
  RunningClient second = standin::Start(wechat);
  ASSERT_TRUE(standin::WaitForLog(wechat, second.pid(), "shown", {"main"}, kTimeout));
  std::vector<standin::LogLine> one = standin::FindLog(wechat, first.pid(), "started");
  std::vector<standin::LogLine> two = standin::FindLog(wechat, second.pid(), "started");
  ASSERT_EQ(one.size(), 1u);
  ASSERT_EQ(two.size(), 1u);
  EXPECT_EQ(one[0].args[0], "1");
  EXPECT_EQ(two[0].args[0], "2");
  EXPECT_EQ(two[0].args[1], "123456");
  EXPECT_NE(one[0].args[1], "123456");
  EXPECT_NE(standin::WindowFromLog(wechat, first.pid(), "main"), standin::WindowFromLog(wechat, second.pid(), "main"));
}

TEST_F(StandinClient, ScriptFromTheEnvironmentWhenNoFileIsBesideIt) {
  Installation wechat = InstallWith("");
  SetEnvironmentVariableA("TANDREL_STANDIN_SCRIPT", "start main|exit main+200 5");
  RunningClient client = standin::Start(wechat);
  SetEnvironmentVariableA("TANDREL_STANDIN_SCRIPT", nullptr);
  DWORD code = 0;
  ASSERT_TRUE(client.WaitForExit(kTimeout, &code));
  EXPECT_EQ(code, 5u);
  EXPECT_EQ(standin::FindLog(wechat, client.pid(), "script", {"environment"}).size(), 1u);
  EXPECT_EQ(standin::FindLog(wechat, client.pid(), "shown", {"main"}).size(), 1u);
}

// The painting the host's capture tests reuse in their own process: PrintWindow draws the
// square at window (9, 36) with and without a frame (across processes Wine draws nothing).
TEST(StandinPaint, PrintWindowOfAPaintedTestWindowShowsTheSquareAtWindow9_36) {
  const COLORREF avatar = RGB(200, 30, 90);
  for (DWORD style : {DWORD(WS_POPUP | WS_VISIBLE), DWORD(WS_OVERLAPPEDWINDOW | WS_VISIBLE)}) {
    SCOPED_TRACE(style);
    HWND w = standin::CreatePaintedTestWindow("TandrelPaintedTest", "painted", style, 50, 50, 300, 200, avatar);
    ASSERT_NE(w, nullptr);
    RECT r;
    GetWindowRect(w, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    EXPECT_TRUE(PrintWindow(w, memory, 0));
    EXPECT_EQ(GetPixel(memory, 9, 36), avatar);
    EXPECT_EQ(GetPixel(memory, 44, 71), avatar);
    EXPECT_NE(GetPixel(memory, 8, 36), avatar);
    EXPECT_NE(GetPixel(memory, 45, 71), avatar);
    EXPECT_NE(GetPixel(memory, 9, 72), avatar);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    DestroyWindow(w);
  }
}

}  // namespace
