// Removal: a client whose window has gone loses its tab, the later tabs and windows close
// up one place, pane 1 is shown, and an add tab is there again.
#include <gtest/gtest.h>

#include "tests/e2e/host/host_e2e.h"

namespace {

using hosttest::TandrelRun;
using hosttest::Hosted;
using hosttest::HostClients;

void EndClient(DWORD pid) {
  HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
  ASSERT_NE(p, nullptr);
  TerminateProcess(p, 1);
  WaitForSingleObject(p, 5000);
  CloseHandle(p);
}

TandrelRun::Options MainAtOnce(const std::string& extra = "") {
  TandrelRun::Options options;
  options.clientScript = "start main\n" + extra;
  return options;
}

TEST(Removal, SecondOfThreeGoneClosesUpTabsAndPanes) {
  TandrelRun run;
  ASSERT_TRUE(run.Start(MainAtOnce())) << run.failure;
  const std::vector<Hosted> hosted = HostClients(run, 3);
  ASSERT_EQ(hosted.size(), 3u);
  const std::vector<HWND> before = run.Tabs();
  ASSERT_EQ(before.size(), 4u);

  EndClient(hosted[1].pid);
  // The tab goes first; the others are renumbered once its destruction has been seen.
  ASSERT_TRUE(support::WaitFor([&] { return !IsWindow(before[1]) && hosttest::WindowText(before[3]) == "3"; }, 5000));
  const std::vector<HWND> after = run.Tabs();
  ASSERT_EQ(after.size(), 3u);
  EXPECT_EQ(after[0], before[0]);
  EXPECT_EQ(after[1], before[2]) << "tab 3 moves up to become tab 2";
  EXPECT_EQ(after[2], before[3]) << "the add tab becomes tab 3";
  EXPECT_EQ(hosttest::RectInParent(before[2]).y, 82);
  EXPECT_EQ(hosttest::WindowText(before[2]), "2");
  EXPECT_EQ(hosttest::RectInParent(before[3]).y, 162);
  EXPECT_EQ(hosttest::WindowText(before[3]), "3");

  EXPECT_TRUE(run.WaitForHosted(hosted[2].window, 2, 3000)) << "the third window moves into host 2";
  EXPECT_EQ(run.HostOf(hosted[0].window), 1);
  EXPECT_TRUE(support::WaitFor([&] { return run.VisibleHostCount() == 1; }, 2000));
  EXPECT_TRUE(hosttest::HasVisibleStyle(run.Host(1)));
  for (int k = 2; k <= 6; ++k) EXPECT_FALSE(hosttest::HasVisibleStyle(run.Host(k))) << "host " << k;
  EXPECT_TRUE(support::WaitFor([&] { return run.TabBackground(after[0]) == hosttest::kSelected; }, 3000));
  EXPECT_TRUE(support::WaitFor([&] { return run.TabBackground(after[1]) == hosttest::kUnselected; }, 3000));
  EXPECT_TRUE(support::WaitFor([&] { return run.TabBackground(after[2]) == hosttest::kUnselected; }, 3000));
}

TEST(Removal, SixDownToFiveAppendsAnAddTabAsTabSix) {
  TandrelRun run;
  ASSERT_TRUE(run.Start(MainAtOnce())) << run.failure;
  const std::vector<Hosted> hosted = HostClients(run, 6);
  ASSERT_EQ(hosted.size(), 6u);
  const std::vector<HWND> before = run.Tabs();
  ASSERT_EQ(before.size(), 6u);

  EndClient(hosted[3].pid);
  ASSERT_TRUE(support::WaitFor([&] { return !IsWindow(before[3]); }, 5000));
  ASSERT_TRUE(support::WaitFor(
      [&] {
        const std::vector<HWND> t = run.Tabs();
        return t.size() == 6 && t[5] != before[5] && t[4] == before[5];
      },
      3000))
      << "no new add tab after six went down to five";
  const HWND added = run.Tabs()[5];
  EXPECT_EQ(hosttest::RectInParent(added).y, 402);
  EXPECT_EQ(hosttest::WindowText(added), "6");
  EXPECT_TRUE(IsWindowEnabled(added));
  EXPECT_TRUE(run.WaitForHosted(hosted[4].window, 4, 3000));
  EXPECT_TRUE(run.WaitForHosted(hosted[5].window, 5, 3000));
  EXPECT_EQ(GetWindow(run.Host(6), GW_CHILD), nullptr);
}

TEST(Removal, LastOneGoneLeavesOnlyTheAddTabAndBringsBackTheHint) {
  TandrelRun run;
  ASSERT_TRUE(run.Start(MainAtOnce())) << run.failure;
  const std::vector<Hosted> hosted = HostClients(run, 1);
  ASSERT_EQ(hosted.size(), 1u);
  ASSERT_NE(run.HintText(), nullptr);
  EXPECT_FALSE(hosttest::HasVisibleStyle(run.HintText()));

  EndClient(hosted[0].pid);
  ASSERT_TRUE(support::WaitFor([&] { return run.Tabs().size() == 1 && hosttest::WindowText(run.Tabs()[0]) == "1"; }, 5000));
  EXPECT_EQ(hosttest::RectInParent(run.Tabs()[0]).y, 2);
  EXPECT_EQ(hosttest::WindowText(run.Tabs()[0]), "1");
  EXPECT_TRUE(support::WaitFor([&] { return hosttest::HasVisibleStyle(run.HintText()); }, 2000));
  EXPECT_EQ(run.VisibleHostCount(), 0);
}

TEST(Removal, TwoGoneAreRemovedInTwoCyclesTheLowerFirst) {
  TandrelRun run;
  ASSERT_TRUE(run.Start(MainAtOnce())) << run.failure;
  const std::vector<Hosted> hosted = HostClients(run, 3);
  ASSERT_EQ(hosted.size(), 3u);
  const std::vector<HWND> before = run.Tabs();

  // Both processes end at once; the lower position must go first.
  HANDLE first = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, hosted[0].pid);
  HANDLE third = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, hosted[2].pid);
  ASSERT_TRUE(first && third);
  TerminateProcess(third, 1);
  TerminateProcess(first, 1);
  HANDLE both[2] = {first, third};
  WaitForMultipleObjects(2, both, TRUE, 5000);
  CloseHandle(first);
  CloseHandle(third);

  DWORD firstGone = 0, thirdGone = 0;
  ASSERT_TRUE(support::WaitFor(
      [&] {
        if (!firstGone && !IsWindow(before[0])) firstGone = GetTickCount();
        if (!thirdGone && !IsWindow(before[2])) thirdGone = GetTickCount();
        return firstGone && thirdGone;
      },
      8000, 5));
  EXPECT_LT(firstGone, thirdGone) << "the tabs went in one step or the higher first";
  std::printf("tab 1 gone %lu ms before tab 3\n", static_cast<unsigned long>(thirdGone - firstGone));

  ASSERT_TRUE(support::WaitFor([&] { return run.Tabs().size() == 2 && hosttest::WindowText(before[3]) == "2"; }, 3000));
  EXPECT_EQ(run.Tabs()[0], before[1]);
  EXPECT_EQ(run.Tabs()[1], before[3]);
  EXPECT_TRUE(run.WaitForHosted(hosted[1].window, 1, 3000));
}

TEST(Removal, AnAlertDialogEndsItsOwnerWithinACycleAndTheTabGoes) {
  TandrelRun run;
  ASSERT_TRUE(run.Start(MainAtOnce("alert main+1500\n"))) << run.failure;
  const std::vector<Hosted> hosted = HostClients(run, 1);
  ASSERT_EQ(hosted.size(), 1u);
  HANDLE p = OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, hosted[0].pid);
  ASSERT_NE(p, nullptr);

  ASSERT_TRUE(standin::WaitForLog(run.Client(), hosted[0].pid, "created", {"alert"}, 5000));
  // About one cycle (100 ms apart); generous for a loaded machine.
  EXPECT_EQ(WaitForSingleObject(p, 2000), WAIT_OBJECT_0) << "the alert's process was not ended";
  DWORD code = 99;
  GetExitCodeProcess(p, &code);
  CloseHandle(p);
  EXPECT_EQ(code, 0u) << "ended by us with exit code 0";
  EXPECT_TRUE(standin::FindLog(run.Client(), hosted[0].pid, "exiting").empty()) << "it ended by itself";
  EXPECT_TRUE(support::WaitFor([&] { return run.Tabs().size() == 1; }, 3000));
}

}  // namespace
