// The real tandrel.exe, built to ask this test's loopback server, against servers that would
// hold start-up for ever or fill its memory: one that never answers, one that trickles a byte
// a second, and one that answers with hundreds of MB. Every fetch of the check together gets
// ten seconds; then start-up goes on as for a server that cannot be reached: the host panes
// are loaded and the tray icon appears.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "loopback_server.h"
#include "shell_program.h"
#include "test_files.h"
#include "tests/support/program_log.h"
#include "tests/support/program_under_test.h"

using namespace testing_update;

namespace {

constexpr char kContact[] = "/tandrel/gxdata/lianxixinxi.dat";
constexpr char kLink[] = "/tandrel/gxdata/tblianjie.dat";
constexpr char kManifest[] = "/tandrel/gxdata/txgeng.dat";
constexpr ULONGLONG kCheckDeadlineMs = 10000;
// After the check: its 1 s pause, then the host set-up timer's first tick; and the test bed's own pace.
constexpr ULONGLONG kAfterCheckMs = 1000 + 4000;

struct Server {
  const char* what;
  const char* fetchLogged;  // what the program's log says about the first fetch
  void (*answers)(LoopbackServer&);
};

void Silent(LoopbackServer& server) {
  Answer silent;
  silent.fault = Answer::Fault::kSilent;
  for (const char* path : {kContact, kLink, kManifest}) server.Set(path, silent);
}

void Trickling(LoopbackServer& server) {
  Answer trickle;
  trickle.body = std::string(600, 'x');
  trickle.fault = Answer::Fault::kTrickle;
  trickle.faultAfter = 1;
  trickle.trickleIntervalMs = 1000;  // well inside WinHttp's 15 s receive time-out
  for (const char* path : {kContact, kLink, kManifest}) server.Set(path, trickle);
}

void Huge(LoopbackServer& server) {
  Answer announced;
  announced.generatedBodyBytes = 400ull << 20;
  server.Set(kContact, announced);
  Answer chunked;
  chunked.generatedBodyBytes = 400ull << 20;
  chunked.chunked = true;
  server.Set(kLink, chunked);
  server.Set(kManifest, chunked);
}

class StartupWithABadServer : public ::testing::TestWithParam<Server> {};

TEST_P(StartupWithABadServer, GoesOnWithinTheDeadlineToHostingAndTheTrayIcon) {
  const Server& bad = GetParam();
  LoopbackServer server;
  ASSERT_TRUE(server.Start(TEST_UPDATE_PORT));
  bad.answers(server);

  const std::string app = FreshDirectory("tandrel-bad-server");
  support::ProgramFiles files;
  files.exe = ExecutableDirectory() + "\\update_current\\tandrel.exe";
  const std::string installed = support::InstallProgram(app, files);
  ASSERT_FALSE(installed.empty());

  const shell_test::TrayArea trayBefore = shell_test::SettledTray();
  const std::string since = support::LogTimestampNow();
  support::ProgramUnderTest program;
  support::StartOptions options;
  options.question = support::ShortcutQuestion::kLeave;
  ASSERT_TRUE(program.Start(installed, options));
  // The desktop-shortcut offer comes before the check: declined here. (The main window shows
  // only once the start-up order has run.)
  ASSERT_TRUE(support::WaitFor(
      [&] {
        if (HWND question = support::ShortcutQuestionOf(program.Id())) {
          ::PostMessageA(question, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                         reinterpret_cast<LPARAM>(::GetDlgItem(question, IDCANCEL)));
        }
        return !server.RequestedPaths().empty();
      },
      30000, 50))
      << "the program never asked the server";
  const ULONGLONG checkStarted = ::GetTickCount64();

  // Place 11's first tick loads the panes.
  std::vector<support::ProgramLogLine> lines;
  auto logged = [&](const std::string& prefix) {
    lines = support::ProgramLogLines(program.Id(), since);
    return support::FindLogLine(lines, prefix) < lines.size();
  };
  const bool hosted = support::WaitFor([&] { return logged("host: panes loaded"); },
                                       static_cast<DWORD>(kCheckDeadlineMs + kAfterCheckMs), 100);
  const ULONGLONG hostedAfter = ::GetTickCount64() - checkStarted;
  EXPECT_TRUE(hosted) << "no hosting " << hostedAfter << " ms after the check began\n"
                      << support::LogLinesText(lines);
  EXPECT_NE(program.WaitForMainWindow(2000), nullptr);
  RECT icon;
  EXPECT_TRUE(shell_test::WaitForNewTrayIcon(trayBefore, 5000, &icon))
      << "no tray icon\n" << support::LogLinesText(support::ProgramLogLines(program.Id(), since));
  EXPECT_TRUE(program.Running());

  lines = support::ProgramLogLines(program.Id(), since);
  EXPECT_LT(support::FindLogLine(lines, std::string("update check: lianxixinxi.dat ") + bad.fetchLogged),
            lines.size())
      << support::LogLinesText(lines);
  EXPECT_LT(support::FindLogLine(lines, "update check: server unreachable"), lines.size())
      << support::LogLinesText(lines);
  program.End();
  server.Stop();
  RemoveTree(app);
}

INSTANTIATE_TEST_SUITE_P(
    Servers, StartupWithABadServer,
    ::testing::Values(Server{"Silent", "cut short by the deadline", Silent},
                      Server{"Trickling", "cut short by the deadline", Trickling},
                      Server{"Huge", "over the size limit", Huge}),
    [](const ::testing::TestParamInfo<Server>& param) { return std::string(param.param.what); });

}  // namespace
