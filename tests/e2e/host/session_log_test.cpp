// One whole session, told by the program's log: start, update decision, the add tab's
// launch from the default path, the login window held, the adoption, the client's exit and
// its removal, and the user's exit through the tray menu.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/client_windows.h"
#include "shell_program.h"
#include "tests/e2e/host/host_e2e.h"
#include "tests/support/program_log.h"

namespace {

using hosttest::TandrelRun;

constexpr char kTencentDir[] = "C:\\Program Files (x86)\\Tencent";
constexpr char kDefaultDir[] = "C:\\Program Files (x86)\\Tencent\\WeChat";
constexpr char kDefaultPath[] = "C:\\Program Files (x86)\\Tencent\\WeChat\\WeChat.exe";

HWND VisibleMenuOf(DWORD pid) {
  HWND menu = shell_test::FindWindowOf(pid, "#32768", nullptr);
  return menu && IsWindowVisible(menu) ? menu : nullptr;
}

// Right-clicks the icon until the program's menu shows (Wine's notification area drops
// clicks that come soon after an icon appears), then clicks its last item, "退出程序",
// near the bottom of the menu.
bool ChooseExitFromTrayMenu(DWORD pid, const RECT& icon) {
  HWND menu = nullptr;
  for (int attempt = 0; attempt < 5 && !menu; ++attempt) {
    shell_test::ClickScreen((icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2, true);
    support::WaitFor([&] { return (menu = VisibleMenuOf(pid)) != nullptr; }, 1500);
  }
  if (!menu) return false;
  RECT r;
  GetWindowRect(menu, &r);
  shell_test::ClickScreen((r.left + r.right) / 2, r.bottom - 8, false);
  return true;
}

TEST(SessionLog, TheProcessLinesTellTheWholeSessionInOrder) {
  support::RemoveDirectoryTree(kTencentDir);
  SHCreateDirectoryExA(nullptr, kDefaultDir, nullptr);
  const standin::Installation client = standin::Install(kDefaultDir, hosttest::kClientPlace);
  ASSERT_TRUE(client);
  ASSERT_EQ(client.exePath, kDefaultPath);

  const std::string before = support::LogTimestampNow();
  DWORD pid = 0;
  std::string dir;
  HWND login = nullptr, main = nullptr;
  {
    TandrelRun run;
    run.Track(client);
    TandrelRun::Options options;
    options.installClient = false;
    options.route = TandrelRun::Route::kNone;  // no route.dat: the add tab uses the default path
    const shell_test::TrayArea trayBefore = shell_test::SettledTray();
    ASSERT_TRUE(run.Start(options)) << run.failure;
    pid = run.Pid();
    dir = run.Dir();
    RECT icon{};
    ASSERT_TRUE(shell_test::WaitForNewTrayIcon(trayBefore, 10000, &icon)) << "no tray icon appeared";

    // The add tab starts the client; its login window is held, then it logs in and is adopted.
    run.ClickTab(run.Tabs().at(0));
    DWORD clientPid = 0;
    ASSERT_TRUE(support::WaitFor(
        [&] {
          const std::vector<DWORD> pids = hosttest::StartedPids(client);
          if (pids.empty()) return false;
          clientPid = pids.back();
          login = hosttest::ClientLoginWindow(client, clientPid);
          return login && hosttest::ParentOf(login) == run.Main();
        },
        20000))
        << "the login window of a client from the default path was not held";
    ASSERT_TRUE(standin::RequestLogin(login));
    ASSERT_TRUE(support::WaitFor(
        [&] {
          main = hosttest::ClientMainWindow(client, clientPid);
          return main && run.HostOf(main) == 1;
        },
        10000));
    ASSERT_TRUE(support::WaitFor([&] { return run.Tabs().size() == 2; }, 5000));

    // The client exits by itself (closing its window ends it) and its instance goes.
    PostMessageA(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(support::WaitFor([&] { return !hosttest::ProcessRunning(clientPid); }, 5000));
    ASSERT_TRUE(support::WaitFor([&] { return run.Tabs().size() == 1; }, 5000)) << "the instance was not removed";

    ASSERT_TRUE(ChooseExitFromTrayMenu(pid, icon)) << "the tray menu did not open";
    ASSERT_EQ(WaitForSingleObject(run.Process(), 10000), WAIT_OBJECT_0) << "the program did not end";
    DWORD code = 99;
    GetExitCodeProcess(run.Process(), &code);
    EXPECT_EQ(code, 0u);
  }
  support::RemoveDirectoryTree(kTencentDir);
  const std::string after = support::LogTimestampNow();

  const std::vector<support::ProgramLogLine> lines = support::ProgramLogLines(pid, before);
  const std::string seen = support::LogLinesText(lines);
  // Each found after the one before it; where the whole text is known, it is compared.
  struct Expected {
    std::string prefix;
    std::string whole;  // empty: the prefix is all that is known
  };
  const Expected expected[] = {
      {"start: Tandrel ", ""},
      {"update check: ", ""},
      {"launch: starting ", std::string("launch: starting ") + kDefaultPath},
      {"launch: login window ", "launch: login window " + host::HandleText(login) + " held in the main window"},
      {"adopted: window ", "adopted: window " + host::HandleText(main) + " into pane 1"},
      {"removed: instance ", "removed: instance 1 (window " + host::HandleText(main) + " gone), 0 hosted"},
      {"ending: ", "ending: the user chose exit (exit code 0)"},
  };
  std::vector<size_t> at;
  for (const Expected& e : expected) {
    const size_t from = at.empty() ? 0 : at.back() + 1;
    const size_t found = support::FindLogLine(lines, e.prefix, from);
    ASSERT_LT(found, lines.size()) << "no \"" << e.prefix << "\" line after the ones before it (process " << pid
                                   << ")\n" << seen;
    if (!e.whole.empty()) {
      EXPECT_EQ(lines[found].text, e.whole);
    }
    at.push_back(found);
  }
  // "start: Tandrel <version> in <the program's folder>"
  const std::string where = " in " + dir;
  const std::string& startText = lines[at[0]].text;
  ASSERT_GT(startText.size(), where.size());
  EXPECT_EQ(startText.substr(startText.size() - where.size()), where) << startText;

  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_TRUE(support::IsLogTimestamp(lines[i].timestamp)) << lines[i].timestamp;
    if (i > 0) {
      EXPECT_LE(lines[i - 1].timestamp, lines[i].timestamp) << seen;
    }
  }
  EXPECT_LE(lines.back().timestamp, after);
}

}  // namespace
