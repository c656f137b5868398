// The host's logic (adoption, removal and compaction, the alert rule, route.dat, tab clicks,
// the pointer guard) against the fake seam and a fake view: no client, no window of ours.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <thread>

#include "host/client_windows.h"
#include "host/instance_host.h"
#include "tests/unit/host/fake_host.h"
#include "tests/support/test_support.h"

namespace {

using fakes::FakeView;
using fakes::H;

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<missing>";
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

class InstanceHostTest : public ::testing::Test {
 protected:
  InstanceHostTest() {
    settings_.routeFilePath = dir_.File("route.dat");
    settings_.timings.visibilityPollMs = 5;
    settings_.timings.visibilityLimitMs = 300;
    settings_.timings.avatarDelayMs = 0;
    settings_.timings.launchFirstWaitMs = 0;
    settings_.timings.loginPollMs = 5;
    settings_.timings.embeddedPollMs = 5;
    host_ = std::make_unique<host::InstanceHost>(windows_, view_, settings_);
    host_->CreateFirstTab();
  }

  // n client main windows, adopted one per cycle; their handles.
  std::vector<HWND> HostClients(int n) {
    std::vector<HWND> hosted;
    for (int i = 0; i < n; ++i) {
      hosted.push_back(windows_.AddClientMainWindow(static_cast<DWORD>(100 + i)));
      host_->RunCycle();
    }
    return hosted;
  }
  host::HostSnapshot S() const { return host_->Snapshot(); }
  std::vector<bool> Selected() const {
    std::vector<bool> selected;
    for (const host::TabView& t : S().tabs) selected.push_back(t.state.selected);
    return selected;
  }
  std::vector<bool> PanesShown() const {
    const auto panes = S().paneVisible;
    return std::vector<bool>(panes.begin(), panes.end());
  }

  support::TempDir dir_;
  fakes::FakeForeignWindows windows_;
  FakeView view_;
  host::HostSettings settings_;
  std::unique_ptr<host::InstanceHost> host_;
};

TEST_F(InstanceHostTest, FirstAdoptionTakesTheWindowIntoPaneOneAndAddsAnAddTab) {
  const HWND w = windows_.AddClientMainWindow(100);
  const int rendersBefore = view_.Renders();
  host_->RunCycle();

  EXPECT_EQ(windows_.Window(w).parent, view_.Pane(1));
  EXPECT_TRUE(windows_.Called("Move " + H(w) + " 0,0 914x599"));
  EXPECT_FALSE(windows_.Called("Show " + H(w))) << "a visible window is not shown again";
  const host::HostSnapshot s = S();
  EXPECT_EQ(s.hostedWindows, std::vector<HWND>{w});
  EXPECT_EQ(s.hostedCount, 1);
  EXPECT_EQ(s.currentWindow, w);
  EXPECT_FALSE(s.hintVisible);
  EXPECT_EQ(PanesShown(), (std::vector<bool>{true, false, false, false, false, false}));
  ASSERT_EQ(s.tabs.size(), 2u);
  EXPECT_EQ(Selected(), (std::vector<bool>{true, false}));
  EXPECT_EQ(s.tabs[0].state.picture, host::TabPicture::kAvatar);
  ASSERT_TRUE(s.tabs[0].state.avatar);
  EXPECT_EQ(*s.tabs[0].state.avatar, windows_.avatar);
  EXPECT_EQ(s.tabs[1].state.picture, host::TabPicture::kPlus);
  EXPECT_EQ(s.tabs[1].tag, "2");
  EXPECT_EQ(s.tabs[1].top, 82);
  EXPECT_GT(view_.Renders(), rendersBefore);
  EXPECT_EQ(FileBytes(settings_.routeFilePath), "C:\\clients\\100\\WeChat.exe");
}

TEST_F(InstanceHostTest, AHiddenWindowIsShownAndAdopted) {
  const HWND w = windows_.AddClientMainWindow(100, /*visible=*/false);
  host_->RunCycle();
  EXPECT_TRUE(windows_.Called("Show " + H(w)));
  EXPECT_EQ(windows_.Window(w).parent, view_.Pane(1));
  EXPECT_EQ(S().hostedWindows, std::vector<HWND>{w});
}

TEST_F(InstanceHostTest, TheSixthLeavesNoAddTabAndASeventhIsNotTaken) {
  const std::vector<HWND> hosted = HostClients(6);
  for (int k = 1; k <= 6; ++k) EXPECT_EQ(windows_.Window(hosted[k - 1]).parent, view_.Pane(k)) << k;
  EXPECT_EQ(S().tabs.size(), 6u);
  EXPECT_FALSE(S().HasAddTab());
  EXPECT_EQ(Selected().back(), true);

  const HWND seventh = windows_.AddClientMainWindow(200);
  windows_.ClearCalls();
  host_->RunCycle();
  EXPECT_EQ(windows_.Window(seventh).parent, nullptr);
  for (const std::string& call : windows_.Calls()) EXPECT_EQ(call.find(H(seventh)), std::string::npos) << call;
  EXPECT_EQ(S().hostedCount, 6);
}

// Removal and compaction: which instances die, and what is left.
struct RemovalCase {
  const char* name;
  int hosted;
  std::vector<int> dead;      // positions whose process ends
  int cycles;                 // cycles run after the deaths
  std::vector<int> survivors; // positions (as adopted) left, in order
  bool hint;
};

class Removal : public InstanceHostTest, public ::testing::WithParamInterface<RemovalCase> {};

TEST_P(Removal, LeavesTheSurvivorsCompactedWithTabOneSelected) {
  const RemovalCase& c = GetParam();
  const std::vector<HWND> hosted = HostClients(c.hosted);
  for (int position : c.dead) windows_.EndAll(static_cast<DWORD>(100 + position - 1));
  for (int i = 0; i < c.cycles; ++i) host_->RunCycle();

  const host::HostSnapshot s = S();
  std::vector<HWND> expected;
  for (int position : c.survivors) expected.push_back(hosted[position - 1]);
  EXPECT_EQ(s.hostedWindows, expected);
  EXPECT_EQ(s.hostedCount, static_cast<int>(expected.size()));
  // One tab per instance plus the add tab, tagged and placed by position.
  ASSERT_EQ(s.tabs.size(), expected.size() + 1);
  for (std::size_t i = 0; i < s.tabs.size(); ++i) {
    EXPECT_EQ(s.tabs[i].tag, std::to_string(i + 1));
    EXPECT_EQ(s.tabs[i].top, static_cast<int>(i) * 80 + 2);
  }
  EXPECT_EQ(s.tabs.back().state.picture, host::TabPicture::kPlus);
  for (std::size_t k = 1; k <= expected.size(); ++k) {
    EXPECT_EQ(windows_.Window(expected[k - 1]).parent, view_.Pane(static_cast<int>(k))) << "pane " << k;
  }
  EXPECT_EQ(s.hintVisible, c.hint);
  if (expected.empty()) {
    EXPECT_EQ(s.currentWindow, nullptr);
    EXPECT_EQ(PanesShown(), std::vector<bool>(6, false));
    EXPECT_EQ(Selected(), std::vector<bool>{false});
  } else {
    EXPECT_EQ(s.currentWindow, expected[0]);
    EXPECT_EQ(PanesShown(), (std::vector<bool>{true, false, false, false, false, false}));
    const std::vector<bool> selected = Selected();
    EXPECT_TRUE(selected[0]);
    EXPECT_EQ(std::count(selected.begin(), selected.end(), true), 1);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Removal,
    ::testing::Values(RemovalCase{"SecondOfThree", 3, {2}, 1, {1, 3}, false},
                      RemovalCase{"TheLastOne", 1, {1}, 1, {}, true},
                      RemovalCase{"SixToFiveBringsTheAddTabBack", 6, {4}, 1, {1, 2, 3, 5, 6}, false},
                      RemovalCase{"TwoDeadAfterOneCycle", 3, {1, 3}, 1, {2, 3}, false},
                      RemovalCase{"TwoDeadAfterTwoCycles", 3, {1, 3}, 2, {2}, false}),
    [](const ::testing::TestParamInfo<RemovalCase>& param) { return std::string(param.param.name); });

TEST_F(InstanceHostTest, RemovalKeepsTheSurvivingTabsIdentity) {
  HostClients(3);
  const host::HostSnapshot before = S();
  windows_.EndAll(101);
  host_->RunCycle();
  const host::HostSnapshot after = S();
  ASSERT_EQ(after.tabs.size(), 3u);
  // The drawn controls follow the ids: tab 2's control goes, tab 3's moves up.
  EXPECT_EQ(after.tabs[0].state.id, before.tabs[0].state.id);
  EXPECT_EQ(after.tabs[1].state.id, before.tabs[2].state.id);
  EXPECT_EQ(after.tabs[2].state.id, before.tabs[3].state.id);
}

TEST_F(InstanceHostTest, AnAlertEndsItsOwnerAndTheInstanceIsRemoved) {
  const std::vector<HWND> hosted = HostClients(2);
  fakes::FakeWindow alert;
  alert.className = host::kAlertWindowClass;
  alert.title = host::kWeChatTitle;
  alert.pid = 101;
  windows_.Add(alert);
  fakes::FakeWindow otherTitle = alert;
  otherTitle.title = "not the client";
  otherTitle.pid = 100;
  windows_.Add(otherTitle);

  host_->RunCycle();
  EXPECT_TRUE(windows_.Called("EndProcess 101"));
  EXPECT_FALSE(windows_.Called("EndProcess 100")) << "only an alert titled as the client counts";
  EXPECT_EQ(S().hostedWindows, std::vector<HWND>{hosted[0]});
}

TEST_F(InstanceHostTest, RouteFileIsWrittenOnlyForANewNonEmptyPath) {
  struct Case {
    const char* stored;  // nullptr: no file
    const char* found;
    const char* expected;
  };
  const Case cases[] = {
      {nullptr, "C:\\a\\WeChat.exe", "C:\\a\\WeChat.exe"},
      {"C:\\a\\WeChat.exe", "C:\\b\\WeChat.exe", "C:\\b\\WeChat.exe"},
      {"C:\\a\\WeChat.exe", "C:\\a\\WeChat.exe", "C:\\a\\WeChat.exe"},
      {"C:\\a\\WeChat.exe", "", "C:\\a\\WeChat.exe"},  // a process we could not open
      {nullptr, "", "<missing>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.stored ? c.stored : "(none)") + " <- " + c.found);
    DeleteFileA(settings_.routeFilePath.c_str());
    if (c.stored) std::ofstream(settings_.routeFilePath, std::ios::binary) << c.stored;
    host_->WriteRouteFileIfChanged(c.found);
    EXPECT_EQ(FileBytes(settings_.routeFilePath), c.expected);
  }
  // Reading stops at the first zero byte.
  std::ofstream(settings_.routeFilePath, std::ios::binary) << std::string("C:\\x.exe\0junk", 13);
  EXPECT_EQ(host_->ReadRouteFile(), "C:\\x.exe");
}

TEST_F(InstanceHostTest, LaunchReusesAnOpenLoginWindowAndHoldsIt) {
  std::ofstream(settings_.routeFilePath, std::ios::binary) << "C:\\old\\WeChat.exe";
  fakes::FakeWindow login;
  login.className = host::kLoginWindowClass;
  login.title = host::kWeChatTitle;
  login.pid = 300;
  login.exePath = "C:\\new\\WeChat.exe";
  const HWND w = windows_.Add(login);

  std::thread launch([&] { host_->RunLaunch(); });
  const bool held = support::WaitFor([&] { return windows_.Window(w).parent == view_.MainWindow(); }, 3000);
  windows_.Change(w, [](fakes::FakeWindow& f) { f.exists = false; });  // the user logged in
  launch.join();

  EXPECT_TRUE(held);
  EXPECT_TRUE(windows_.Called("Move " + H(w) + " 380,76 -1x-1"));
  for (const std::string& call : windows_.Calls()) EXPECT_NE(call.rfind("Run ", 0), 0u) << call;
  EXPECT_EQ(FileBytes(settings_.routeFilePath), "C:\\new\\WeChat.exe");
  EXPECT_EQ(S().loginWindow, w);
  EXPECT_EQ(S().currentWindow, nullptr);
  EXPECT_TRUE(S().tabs[0].state.enabled);
}

TEST_F(InstanceHostTest, LaunchWithoutAClientShowsTheFirstUseNoticeAndKeepsTheRouteFile) {
  std::ofstream(settings_.routeFilePath, std::ios::binary) << "C:\\gone\\WeChat.exe";
  host_->RunLaunch();
  EXPECT_EQ(view_.firstUseNotices.load(), 1);
  for (const std::string& call : windows_.Calls()) EXPECT_NE(call.rfind("Run ", 0), 0u) << call;
  EXPECT_EQ(FileBytes(settings_.routeFilePath), "C:\\gone\\WeChat.exe");
}

TEST_F(InstanceHostTest, TabClicks) {
  const std::vector<HWND> hosted = HostClients(3);
  host_->OnTabClick(2);
  EXPECT_EQ(PanesShown(), (std::vector<bool>{false, true, false, false, false, false}));
  EXPECT_EQ(S().currentWindow, hosted[1]);
  EXPECT_EQ(Selected(), (std::vector<bool>{false, true, false, false}));

  const int renders = view_.Renders();
  host_->OnTabClick(2);  // already selected: nothing
  EXPECT_EQ(view_.Renders(), renders);
  host_->OnTabClick(9);  // no such tab
  EXPECT_EQ(view_.Renders(), renders);

  // The add tab: every tab disabled, the add tab selected, the launch on its own thread
  // (here it finds no client and ends with the first-use notice).
  host_->OnTabClick(4);
  for (const host::TabView& t : S().tabs) EXPECT_FALSE(t.state.enabled);
  EXPECT_EQ(Selected(), (std::vector<bool>{false, false, false, true}));
  EXPECT_TRUE(support::WaitFor([&] { return view_.firstUseNotices.load() == 1; }, 3000));
}

TEST_F(InstanceHostTest, AddTabClickDuringTheSixthAdoptionLaunchesNothing) {
  HostClients(5);
  host_->OnTabClick(2);
  const HWND sixth = windows_.AddClientMainWindow(200);
  windows_.Change(sixth, [](fakes::FakeWindow& f) { f.visible = false; f.staysHidden = true; });
  std::thread cycle([&] { host_->RunCycle(); });  // waits for the window to become visible
  ASSERT_TRUE(support::WaitFor([&] { return S().hostedCount == 6 && S().paneVisible[5]; }, 3000));
  ASSERT_EQ(S().hostedWindows.size(), 5u);
  host_->OnTabClick(6);  // the add tab
  const std::vector<bool> selected = Selected();
  const std::vector<bool> panes = PanesShown();
  cycle.join();

  // Nothing is launched; the tabs show the panes shown: pane 2 (selected before) and
  // pane 6, which the adoption under way has shown already.
  EXPECT_EQ(panes, (std::vector<bool>{false, true, false, false, false, true}));
  EXPECT_EQ(selected, (std::vector<bool>{false, true, false, false, false, true}));
  EXPECT_EQ(view_.firstUseNotices.load(), 0);
  for (const std::string& call : windows_.Calls()) EXPECT_NE(call.rfind("Run ", 0), 0u) << call;
}

TEST_F(InstanceHostTest, PointerGuard) {
  const HWND w = HostClients(1)[0];
  constexpr int pw = FakeView::kPaneWidth;
  struct Case {
    const char* name;
    HWND under;
    int x, y;
    util::MouseButton button;
    util::MouseAction action;
    const char* expectedEnable;  // "Disable", "Enable" or nullptr (nothing asked)
    bool ends;
  };
  const Case cases[] = {
      {"band corner disables", w, pw - 149, 30, util::MouseButton::kNone, util::MouseAction::kNone, "Disable", false},
      {"left of the band enables", w, pw - 150, 30, util::MouseButton::kNone, util::MouseAction::kNone, "Enable", false},
      {"below the band enables", w, pw - 100, 31, util::MouseButton::kNone, util::MouseAction::kNone, "Enable", false},
      {"close box press ends", w, pw - 31, 24, util::MouseButton::kLeft, util::MouseAction::kPress, "Enable", true},
      {"left of the close box", w, pw - 32, 24, util::MouseButton::kLeft, util::MouseAction::kPress, "Enable", false},
      {"band's right edge", w, pw - 34, 24, util::MouseButton::kLeft, util::MouseAction::kPress, "Disable", false},
      {"below the close box", w, pw - 31, 25, util::MouseButton::kLeft, util::MouseAction::kPress, "Enable", false},
      {"right button", w, pw - 31, 24, util::MouseButton::kRight, util::MouseAction::kPress, "Enable", false},
      {"another window", view_.MainWindow(), pw - 31, 24, util::MouseButton::kLeft, util::MouseAction::kPress, nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    windows_.ClearCalls();
    windows_.Change(w, [](fakes::FakeWindow& f) { f.enabled = true; });
    windows_.cursorOffset = {c.x, c.y};
    util::MouseEvent event;
    event.windowUnderPointer = c.under;
    event.button = c.button;
    event.action = c.action;
    host_->OnMouseEvent(event);
    std::vector<std::string> expected;
    if (c.expectedEnable) expected.push_back(std::string(c.expectedEnable) + " " + H(w));
    if (c.ends) expected.push_back("EndProcess 100");
    EXPECT_EQ(windows_.Calls(), expected);
  }
}

// Alt+A is handled inside the low-level keyboard hook: the hook only decides and posts, and
// the posted work hides or shows the main window from the message loop. Hiding and showing
// send activation messages that a hung hosted client may never answer, and Windows silently
// removes a hook that takes longer than LowLevelHooksTimeout.
TEST_F(InstanceHostTest, AltAIsPostedAndThePostedWorkHidesAndShows) {
  HostClients(1);
  windows_.ClearCalls();
  util::KeyEvent press;
  press.modifier = util::Modifier::kAlt;
  press.key = 'A';
  press.action = util::KeyAction::kPress;
  util::KeyEvent release = press;
  release.action = util::KeyAction::kRelease;

  host_->OnKeyEvent(press);
  EXPECT_EQ(view_.hides, 0) << "hidden inside the hook";
  ASSERT_EQ(view_.Posted(), 1u);
  host_->OnKeyEvent(release);
  EXPECT_EQ(view_.shows, 0) << "shown inside the hook";
  EXPECT_TRUE(windows_.Calls().empty()) << "the client's window was called inside the hook";
  ASSERT_EQ(view_.Posted(), 2u);

  // In the order the keys came: hidden, then shown and activated.
  EXPECT_EQ(view_.RunPosted(), 2);
  EXPECT_EQ(view_.hides, 1);
  EXPECT_EQ(view_.shows, 1);
  EXPECT_EQ(windows_.Calls(), std::vector<std::string>{"Activate " + H(view_.MainWindow())});

  // Another key posts nothing.
  util::KeyEvent other = press;
  other.key = 'B';
  host_->OnKeyEvent(other);
  EXPECT_EQ(view_.Posted(), 0u);
}

}  // namespace

// Our way out while an adoption waits for its window to show (the normal case while our
// main window is hidden): the window is in our pane already but not yet hosted, and the
// release must hand it back all the same, and the adoption must not take it in again.
TEST_F(InstanceHostTest, ReleaseDuringAnAdoptionHandsTheWindowBeingAdoptedBack) {
  settings_.timings.visibilityLimitMs = 10000;
  host_ = std::make_unique<host::InstanceHost>(windows_, view_, settings_);
  host_->CreateFirstTab();
  const HWND w = windows_.AddClientMainWindow(100);
  windows_.Change(w, [](fakes::FakeWindow& f) { f.visible = false; f.staysHidden = true; });
  std::thread cycle([&] { host_->RunCycle(); });
  ASSERT_TRUE(support::WaitFor([&] { return windows_.Window(w).parent == view_.Pane(1); }, 3000));
  windows_.Change(w, [](fakes::FakeWindow& f) { f.enabled = false; });

  host::HandBackTimings fast;
  fast.probePauseMs = 5;
  fast.giveUpMs = 2000;
  ASSERT_TRUE(host_->StartHandBack(fast)->WaitForAll(3000));
  // Handed back by the release itself, before the adoption has had its turn.
  const fakes::FakeWindow released = windows_.Window(w);
  EXPECT_EQ(released.parent, nullptr);
  EXPECT_TRUE(released.enabled);
  cycle.join();

  EXPECT_EQ(windows_.Window(w).parent, nullptr) << "the adoption took the window in again";
  EXPECT_TRUE(S().hostedWindows.empty());
  EXPECT_FALSE(windows_.Called("Move " + H(w) + " 0,0 914x599"));
}

// A hung client later in the row must not stall the removal (and with it every cycle): its
// window is left where it is and moved down once it answers.
TEST_F(InstanceHostTest, RemovalLeavesAHungLaterWindowUntilItAnswers) {
  const std::vector<HWND> hosted = HostClients(3);
  windows_.Change(hosted[1], [](fakes::FakeWindow& f) { f.hung = true; });
  windows_.EndAll(100);
  windows_.ClearCalls();
  host_->RunCycle();
  EXPECT_EQ(S().hostedWindows, (std::vector<HWND>{hosted[1], hosted[2]}));
  for (const std::string& call : windows_.Calls()) {
    EXPECT_NE(call.rfind("SetParent " + H(hosted[1]), 0), 0u) << call;
  }
  EXPECT_EQ(windows_.Window(hosted[2]).parent, view_.Pane(2)) << "a healthy later window still moves";

  host_->RunCycle();
  EXPECT_EQ(windows_.Window(hosted[1]).parent, view_.Pane(2)) << "still hung: stays";
  windows_.Change(hosted[1], [](fakes::FakeWindow& f) { f.hung = false; });
  host_->RunCycle();
  EXPECT_EQ(windows_.Window(hosted[1]).parent, view_.Pane(1));
  EXPECT_EQ(windows_.Window(hosted[2]).parent, view_.Pane(2));
}

// Trimming the working set makes Windows fault it back in: an idle host trims only now and
// then, and at once after something changed.
TEST_F(InstanceHostTest, WorkingSetIsTrimmedAfterChangesAndOtherwiseOnlyNowAndThen) {
  auto trims = [&] {
    const std::vector<std::string> calls = windows_.Calls();
    return std::count(calls.begin(), calls.end(), std::string("Trim"));
  };
  host_->RunCycle();
  EXPECT_EQ(trims(), 1) << "the first cycle trims";
  for (int i = 0; i < 20; ++i) host_->RunCycle();
  EXPECT_EQ(trims(), 1) << "idle cycles trimmed again";

  const std::vector<HWND> hosted = HostClients(1);  // this cycle adopts
  host_->RunCycle();
  EXPECT_EQ(trims(), 2) << "no trim after an adoption";
  host_->RunCycle();
  EXPECT_EQ(trims(), 2);

  windows_.EndAll(100);
  host_->RunCycle();  // removes
  host_->RunCycle();
  EXPECT_EQ(trims(), 3) << "no trim after a removal";

  settings_.timings.trimIntervalMs = 50;
  host_ = std::make_unique<host::InstanceHost>(windows_, view_, settings_);
  windows_.ClearCalls();
  host_->RunCycle();
  Sleep(80);
  host_->RunCycle();
  EXPECT_EQ(trims(), 2) << "an idle host must still trim once the interval has passed";
}

// A client window appearing starts the next cycle at once: with a pause far longer than the
// test, the window is adopted only if the word of it woke the monitor.
TEST_F(InstanceHostTest, AnAppearingClientWindowWakesTheMonitorBeforeItsPollWould) {
  settings_.timings.panesSettleMs = 0;
  settings_.timings.cyclePauseMs = 600000;
  host_ = std::make_unique<host::InstanceHost>(windows_, view_, settings_);
  host_->CreateFirstTab();
  host_->Start();
  ASSERT_TRUE(support::WaitFor([&] { return windows_.Called("Trim"); }, 3000)) << "the first cycle did not run";
  ASSERT_TRUE(static_cast<bool>(windows_.clientWindowAppearing)) << "the host does not watch for client windows";

  const HWND w = windows_.AddClientMainWindow(100);
  support::PumpMessagesFor(200);
  EXPECT_TRUE(S().hostedWindows.empty()) << "adopted without a wake: the pause is not what this test thinks";
  windows_.clientWindowAppearing();
  EXPECT_TRUE(support::WaitFor([&] { return S().hostedWindows == std::vector<HWND>{w}; }, 3000));

  // Each appearance gets its own early cycle.
  const HWND second = windows_.AddClientMainWindow(101);
  windows_.clientWindowAppearing();
  EXPECT_TRUE(support::WaitFor([&] { return S().hostedWindows.size() == 2; }, 3000));
  EXPECT_EQ(S().hostedWindows.back(), second);
  host_->StopAdoption();
}

// While the pointer is over the current pane its window is pulled back to the pane's size,
// but one already in place is not moved again every cycle.
TEST_F(InstanceHostTest, TheCurrentWindowIsRefittedOnlyWhenThePointerIsOverItAndItIsOutOfPlace) {
  const HWND w = HostClients(1)[0];
  const std::string refit = "MoveAsync " + H(w) + " 0,0 914x599";
  struct Case {
    const char* name;
    bool pointerOver;
    bool inPlace;
    bool moved;
  };
  const Case cases[] = {
      {"pointer over, out of place", true, false, true},
      {"pointer over, in place", true, true, false},
      {"pointer elsewhere, out of place", false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    windows_.underCursor = c.pointerOver ? w : view_.MainWindow();
    windows_.placedInPane.clear();
    if (c.inPlace) windows_.placedInPane.insert(w);
    windows_.ClearCalls();
    host_->RunCycle();
    EXPECT_EQ(windows_.Called(refit), c.moved);
  }
}
