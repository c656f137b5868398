// The real tandrel.exe, built to ask this test's loopback server, while the server holds its
// first answer: the keyboard hook the program installed before the update check still answers
// at once, so key presses anywhere on the desktop are not held up by the check.
// Under Wine the synchronous WinHttpRequest call itself takes messages while it waits, so a
// check made on the UI thread answered as well; what this shows there is that the wait for
// the worker keeps the hook answered (a wait that takes no messages costs each key ~2 s).
#include <gtest/gtest.h>

#include <windows.h>

#include "loopback_server.h"
#include "test_files.h"
#include "tests/support/program_under_test.h"

using namespace testing_update;

namespace {

constexpr WORD kProbeKey = VK_F13;

// How long the system took to pass one synthetic key event on (every low-level keyboard
// hook on the desktop sees it before SendInput returns).
ULONGLONG TimedKey(bool up) {
  INPUT in = {};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = kProbeKey;
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  const ULONGLONG start = ::GetTickCount64();
  EXPECT_EQ(::SendInput(1, &in, sizeof in), 1u);
  return ::GetTickCount64() - start;
}

bool Requested(const LoopbackServer& server, const std::string& path) {
  for (const std::string& p : server.RequestedPaths()) {
    if (p == path) return true;
  }
  return false;
}

TEST(UpdateCheckWait, KeyPressesPassPromptlyWhileTheServerIsSlow) {
  const std::string contactPath = "/tandrel/gxdata/lianxixinxi.dat";
  LoopbackServer server;
  ASSERT_TRUE(server.Start(TEST_UPDATE_PORT));
  Answer stalled;
  stalled.body = "held back";
  stalled.fault = Answer::Fault::kStall;  // headers go out, the body never comes
  server.Set(contactPath, stalled);

  const std::string app = FreshDirectory("tandrel-slow-check");
  support::ProgramFiles files;
  files.exe = ExecutableDirectory() + "\\update_current\\tandrel.exe";
  const std::string installed = support::InstallProgram(app, files);
  ASSERT_FALSE(installed.empty());

  support::ProgramUnderTest program;
  support::StartOptions options;
  options.question = support::ShortcutQuestion::kLeave;
  ASSERT_TRUE(program.Start(installed, options));
  // The shortcut offer, when it is made, comes before the check: declined here.
  const ULONGLONG giveUp = ::GetTickCount64() + 30000;
  while (!Requested(server, contactPath) && ::GetTickCount64() < giveUp) {
    if (HWND question = support::ShortcutQuestionOf(program.Id())) {
      ::PostMessageA(question, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(::GetDlgItem(question, IDCANCEL)));
    }
    ::Sleep(50);
  }
  ASSERT_TRUE(Requested(server, contactPath)) << "the program never asked the server";
  ::Sleep(500);  // the program is now surely waiting for the held answer

  // Under Wine an unanswered hook costs each key its full hook timeout (about 2 s).
  const ULONGLONG pressMs = TimedKey(false);
  const ULONGLONG releaseMs = TimedKey(true);
  EXPECT_LT(pressMs, 1000u);
  EXPECT_LT(releaseMs, 1000u);
  // Still in the check: the measurement was taken while the answer was held.
  EXPECT_FALSE(Requested(server, "/tandrel/gxdata/txgeng.dat"));
  EXPECT_TRUE(program.Running());
  program.End();
  server.Stop();
}

}  // namespace
