// The window and process operations against real windows: the test's own and those
// of a stand-in client in another process.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "host/client_window_events.h"
#include "host/client_windows.h"
#include "host/system_foreign_windows.h"
#include "tests/fixtures/windows/standin_fixture.h"
#include "tests/fixtures/windows/test_windows.h"

namespace {

host::SystemForeignWindows& Ops() {
  static host::SystemForeignWindows ops;
  return ops;
}

BOOL CALLBACK Collect(HWND w, LPARAM list) noexcept {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(w);
  return TRUE;
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> windows;
  EnumWindows(Collect, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

bool AnyTitleContains(const std::string& digits) {
  std::wstring wide(digits.begin(), digits.end());
  for (HWND w : TopLevelWindows()) {
    wchar_t title[512] = {};
    GetWindowTextW(w, title, 512);
    if (std::wstring(title).find(wide) != std::wstring::npos) return true;
  }
  return false;
}

// Every top-level window of the class titled "微信", as FindWindowEx walks them.
std::vector<HWND> TopLevelMainWindows() {
  std::vector<HWND> found;
  HWND after = nullptr;
  while ((after = Ops().FindWindowByClassTitle(nullptr, after, standin::kMainWindowClass, standin::kWindowTitle)) !=
         nullptr) {
    found.push_back(after);
  }
  return found;
}

bool Contains(const std::vector<HWND>& list, HWND w) { return std::find(list.begin(), list.end(), w) != list.end(); }

int ThreadsOfThisProcess() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  int count = 0;
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
  }
  CloseHandle(snapshot);
  return count;
}

TEST(FindWindowByHandleOrTitle, LiveHandleIsItselfEvenWhenATitleHoldsItsDigits) {
  fixtures::PaintedWindow target("target", 50, 50, 200, 120);
  ASSERT_NE(target.hwnd(), nullptr);
  std::string digits = host::HandleText(target.hwnd());
  // A topmost window comes before the target in the enumeration and holds its digits:
  // a search by title would return it.
  std::string decoyTitle = "decoy " + digits + " title";
  fixtures::PaintedWindow decoy(decoyTitle.c_str(), 300, 50, 200, 120, RGB(1, 2, 3), RGB(4, 5, 6), RGB(7, 8, 9),
                                WS_EX_TOPMOST);
  std::vector<HWND> order = TopLevelWindows();
  auto decoyAt = std::find(order.begin(), order.end(), decoy.hwnd());
  auto targetAt = std::find(order.begin(), order.end(), target.hwnd());
  ASSERT_TRUE(decoyAt < targetAt && targetAt != order.end());

  EXPECT_EQ(Ops().FindWindowByHandleOrTitle(digits), target.hwnd());
}

TEST(FindWindowByHandleOrTitle, DestroyedHandleIsZeroUnlessATitleHoldsItsDigits) {
  fixtures::PaintedWindow doomed("doomed", 50, 50, 200, 120);
  std::string digits = host::HandleText(doomed.hwnd());
  doomed.Destroy();
  ASSERT_FALSE(AnyTitleContains(digits)) << "a window's title already holds " << digits;

  EXPECT_EQ(Ops().FindWindowByHandleOrTitle(digits), nullptr);

  // A title with two-byte characters around the digits.
  std::string title = "微信" + digits + "号";
  fixtures::PaintedWindow holder(title.c_str(), 50, 50, 200, 120);
  EXPECT_EQ(Ops().FindWindowByHandleOrTitle(digits), holder.hwnd());
}

TEST(EndProcess, ZeroIsNoProcess) { EXPECT_FALSE(Ops().EndProcess(0)); }

TEST(RunProgram, AProgramThatNeverBecomesInputIdleCostsAboutOneSecond) {
  support::TempDir dir;
  standin::Installation client = standin::Install(dir.path(), "busy 6000\nstart main\n");
  ASSERT_TRUE(client);

  DWORD start = GetTickCount();
  EXPECT_TRUE(Ops().RunProgram(client.exePath));
  DWORD elapsed = GetTickCount() - start;
  EXPECT_GE(elapsed, 900u);
  EXPECT_LT(elapsed, 5000u);  // it does not wait for the program to get going

  // Ending it: its pid is in the log.
  standin::LogLine started;
  ASSERT_TRUE(standin::WaitForLog(client, 0, "started", {}, 5000, &started));
  DWORD pid = started.pid;
  EXPECT_TRUE(Ops().EndProcess(pid));
  util::UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
  if (process) {
    EXPECT_EQ(WaitForSingleObject(process.get(), 5000), WAIT_OBJECT_0);
  }

  EXPECT_FALSE(Ops().RunProgram(client.dir + "\\missing.exe"));
}

// A path with a space, started the way the host starts the client: the first word of the
// path must not name another program (CreateProcess tries "...\X.exe" before "...\X Y\...").
TEST(RunProgram, APathWithASpaceStartsThatProgramNotADecoyNamedAfterItsFirstWord) {
  support::TempDir dir;
  ASSERT_EQ(dir.path().find(' '), std::string::npos) << dir.path();
  standin::Installation decoy = standin::Install(dir.path(), "exit 0\n", "X.exe");
  standin::Installation client = standin::Install(dir.path() + "\\X Y", "exit 0\n");
  ASSERT_TRUE(decoy);
  ASSERT_TRUE(client);

  EXPECT_TRUE(Ops().RunProgram(client.exePath));
  EXPECT_TRUE(standin::WaitForLog(client, 0, "started", {}, 5000));
  EXPECT_TRUE(standin::FindLog(decoy, 0, "started").empty()) << "the decoy ran";
}

class StandinWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(client.ok());
    main = client.WaitForMainWindow();
    ASSERT_NE(main, nullptr);
  }
  fixtures::StandinClient client{"start main\n"};
  HWND main = nullptr;
};

TEST_F(StandinWindow, MoveWithOnlyXAndYKeepsTheSize) {
  RECT before;
  ASSERT_TRUE(GetWindowRect(main, &before));
  EXPECT_TRUE(Ops().MoveWindowKeep(main, 150, 130));
  RECT after = {};
  EXPECT_TRUE(support::WaitFor([&] { return GetWindowRect(main, &after) && after.left == 150 && after.top == 130; },
                               3000));
  EXPECT_EQ(after.right - after.left, before.right - before.left);
  EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);

  EXPECT_TRUE(Ops().MoveWindowKeep(main, 10, 20, 640, 480));
  GetWindowRect(main, &after);
  EXPECT_EQ(after.right - after.left, 640);
  EXPECT_EQ(after.bottom - after.top, 480);
}

TEST_F(StandinWindow, ExePathIsTheClientsUntilItsProcessHasEnded) {
  EXPECT_EQ(Ops().GetWindowExePath(main), client.installation().exePath);
  EXPECT_EQ(Ops().ProcessIdOfWindow(main), client.pid());

  EXPECT_TRUE(Ops().EndProcess(client.pid()));
  ASSERT_TRUE(client.client().WaitForExit(5000));
  ASSERT_TRUE(support::WaitFor([&] { return !IsWindow(main); }, 5000));
  EXPECT_EQ(Ops().GetWindowExePath(main), "");
  EXPECT_EQ(Ops().ProcessIdOfWindow(main), 0u);
}

// The helper that applies EnableWindow exists only while there is work: it ends when idle
// and a later request starts it again, so no wish is lost across its end.
TEST_F(StandinWindow, TheEnablingHelperEndsWhenIdleAndARequestBringsItBack) {
  host::SystemForeignWindows ops(1000);
  const int before = ThreadsOfThisProcess();
  ASSERT_GT(before, 0);

  ops.EnableWindowAsync(main, false);
  EXPECT_EQ(ThreadsOfThisProcess(), before + 1);
  EXPECT_TRUE(support::WaitFor([&] { return !IsWindowEnabled(main); }, 3000));
  EXPECT_TRUE(support::WaitFor([&] { return ThreadsOfThisProcess() == before; }, 5000)) << "the idle helper stayed";

  ops.EnableWindowAsync(main, true);
  EXPECT_TRUE(support::WaitFor([&] { return IsWindowEnabled(main) != FALSE; }, 3000)) << "the second wish was lost";
  EXPECT_TRUE(support::WaitFor([&] { return ThreadsOfThisProcess() == before; }, 5000));
}

TEST_F(StandinWindow, AReparentedWindowIsAChildAndNoLongerTopLevel) {
  fixtures::PaintedWindow host("host pane", 40, 40, 900, 700);
  ASSERT_TRUE(Contains(TopLevelMainWindows(), main));
  EXPECT_FALSE(Ops().HasChild(host.hwnd()));

  Ops().SetParentWindow(main, host.hwnd());

  EXPECT_EQ(GetAncestor(main, GA_PARENT), host.hwnd());
  EXPECT_TRUE(Ops().HasChild(host.hwnd()));
  EXPECT_EQ(Ops().FindWindowByClassTitle(host.hwnd(), nullptr, standin::kMainWindowClass, standin::kWindowTitle),
            main);
  EXPECT_FALSE(Contains(TopLevelMainWindows(), main));
  // The client saw it happen.
  EXPECT_TRUE(standin::WaitForLog(client.installation(), client.pid(), "parent", {"main", host::HandleText(host.hwnd())},
                                  3000));
  Ops().SetParentWindow(main, nullptr);
}

}  // namespace

// The system tells the host of a client's main and alert windows as another process shows
// them (the login window, which the launch finds by itself, is not worth a cycle).
// Windows reports the showing; Wine 8 reports only the creation to other processes, and the
// watch then looks until the window shows.
TEST(ClientWindowEvents, ArriveForAnotherProcessesMainAndAlertWindowsOnly) {
  std::atomic<int> appeared{0};
  host::ClientWindowEvents events;
  ASSERT_TRUE(events.Start([&] { ++appeared; }));

  fixtures::StandinClient waitingForLogin("");
  fixtures::StandinClient hidden("start hidden\n");
  ASSERT_TRUE(waitingForLogin.ok());
  ASSERT_TRUE(hidden.ok());
  ASSERT_TRUE(standin::WaitForLog(waitingForLogin.installation(), waitingForLogin.pid(), "shown", {"login"}, 10000));
  ASSERT_TRUE(standin::WaitForLog(hidden.installation(), hidden.pid(), "created", {"main"}, 10000));
  support::PumpMessagesFor(500);
  EXPECT_EQ(appeared.load(), 0) << "a login window or a main window not shown yet woke the host";

  fixtures::StandinClient client("start main\nalert main+500\n");
  ASSERT_TRUE(client.ok());
  ASSERT_NE(client.WaitForMainWindow(), nullptr);
  EXPECT_TRUE(support::WaitFor([&] { return appeared.load() >= 1; }, 3000)) << "no word of the main window";
  ASSERT_TRUE(standin::WaitForLog(client.installation(), client.pid(), "shown", {"alert"}, 10000));
  EXPECT_TRUE(support::WaitFor([&] { return appeared.load() >= 2; }, 3000)) << "no word of the alert";
}

TEST(ClientWindowEvents, OneWatchPerProcess) {
  host::ClientWindowEvents first;
  ASSERT_TRUE(first.Start([] {}));
  host::ClientWindowEvents second;
  EXPECT_FALSE(second.Start([] {}));
}
