// Handing held client windows back to the desktop on the way out, against the fake seam: a
// window is moved only once its client answers, a client that stays hung is given up after
// the give-up time, and the caller's wait is bounded either way.
#include <gtest/gtest.h>

#include <algorithm>

#include "host/hand_back.h"
#include "tests/support/log_capture.h"
#include "tests/support/test_support.h"
#include "tests/unit/host/fake_host.h"

namespace {

using fakes::H;

host::HandBackTimings Fast(DWORD giveUpMs) {
  host::HandBackTimings t;
  t.probeTimeoutMs = 5;
  t.probePauseMs = 5;
  t.giveUpMs = giveUpMs;
  return t;
}

bool CalledWithPrefix(const fakes::FakeForeignWindows& windows, const std::string& prefix) {
  const std::vector<std::string> calls = windows.Calls();
  return std::any_of(calls.begin(), calls.end(), [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
}

// Each kind of window the hand-back meets, all at once: one helper per window, so the hung
// one does not hold the others back.
TEST(HandBack, AnsweringWindowsGoBackGoneOnesAreLeftAndAHungOneWaitsUntilItAnswers) {
  testlog::LogCapture log;
  fakes::FakeForeignWindows windows;
  const HWND pane = reinterpret_cast<HWND>(0x40);
  const HWND answering = windows.AddClientMainWindow(100);
  const HWND gone = windows.AddClientMainWindow(101);
  const HWND hung = windows.AddClientMainWindow(102);
  for (HWND w : {answering, gone, hung}) {
    windows.Change(w, [&](fakes::FakeWindow& f) { f.parent = pane; f.enabled = false; f.visible = false; });
  }
  windows.EndAll(101);
  windows.Change(hung, [](fakes::FakeWindow& f) { f.hung = true; });

  // The same window listed twice (hosted and being adopted) is handed back once.
  auto handBack = host::HandBack::Start(windows, {answering, gone, hung, answering, nullptr}, Fast(10000));
  ASSERT_TRUE(support::WaitFor([&] { return handBack->StateOf(answering) == host::HandBackState::kHandedBack; }, 3000));
  ASSERT_TRUE(support::WaitFor([&] { return handBack->StateOf(gone) == host::HandBackState::kGone; }, 3000));
  EXPECT_EQ(windows.Window(answering).parent, nullptr);
  EXPECT_TRUE(windows.Window(answering).enabled);
  EXPECT_TRUE(windows.Window(answering).visible);
  EXPECT_FALSE(CalledWithPrefix(windows, "SetParent " + H(gone)));

  // While the client is hung nothing is asked of its window, and the wait runs out.
  EXPECT_FALSE(handBack->WaitForAll(300));
  EXPECT_EQ(handBack->StateOf(hung), host::HandBackState::kPending);
  EXPECT_FALSE(CalledWithPrefix(windows, "SetParent " + H(hung)));
  EXPECT_FALSE(CalledWithPrefix(windows, "Enable " + H(hung)));
  EXPECT_EQ(windows.Window(hung).parent, pane);

  windows.Change(hung, [](fakes::FakeWindow& f) { f.hung = false; });
  EXPECT_TRUE(handBack->WaitForAll(3000));
  EXPECT_EQ(windows.Window(hung).parent, nullptr);
  EXPECT_TRUE(windows.Window(hung).enabled);
  EXPECT_TRUE(windows.Window(hung).visible);
  const host::HandBack::Tally tally = handBack->Count();
  EXPECT_EQ(tally.handedBack, 2);
  EXPECT_EQ(tally.gone, 1);
  EXPECT_EQ(tally.givenUp, 0);
  EXPECT_EQ(tally.pending, 0);
  const std::vector<std::string> calls = windows.Calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "SetParent " + H(answering) + " 0"), 1);
  EXPECT_TRUE(log.Contains("hand-back: window " + H(hung) + " does not answer; waiting for it")) << log.Lines();
}

TEST(HandBack, AClientHungPastTheGiveUpTimeIsGivenUpLoggedAndNeverTouched) {
  testlog::LogCapture log;
  fakes::FakeForeignWindows windows;
  const HWND pane = reinterpret_cast<HWND>(0x40);
  const HWND hung = windows.AddClientMainWindow(100);
  windows.Change(hung, [&](fakes::FakeWindow& f) { f.parent = pane; f.hung = true; });
  auto handBack = host::HandBack::Start(windows, {hung}, Fast(400));
  EXPECT_LT(handBack->CompletionLimitMs(), 400u + 10000u);
  EXPECT_TRUE(handBack->WaitForAll(handBack->CompletionLimitMs()));
  EXPECT_EQ(handBack->StateOf(hung), host::HandBackState::kGivenUp);
  EXPECT_EQ(handBack->Count().givenUp, 1);
  EXPECT_EQ(windows.Window(hung).parent, pane);
  EXPECT_TRUE(windows.Calls().empty());
  EXPECT_TRUE(log.Contains("hand-back: window " + H(hung) + " has not answered for")) << log.Lines();
  // A client that answers after the give-up is not handed back by a helper that has finished.
  windows.Change(hung, [](fakes::FakeWindow& f) { f.hung = false; });
  support::PumpMessagesFor(100);
  EXPECT_TRUE(windows.Calls().empty());
}

TEST(HandBack, NothingHeldIsDoneAtOnce) {
  fakes::FakeForeignWindows windows;
  auto handBack = host::HandBack::Start(windows, {}, Fast(60000));
  EXPECT_TRUE(handBack->WaitForAll(0));
  EXPECT_EQ(handBack->Count().pending, 0);
}

}  // namespace
