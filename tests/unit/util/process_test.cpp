// Starting programs and the single-instance claim.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_support.h"
#include "tests/support/log_capture.h"
#include "util/files.h"
#include "util/process.h"
#include "util/single_instance.h"
#include "util/unique_resource.h"

namespace {

Text CommandInterpreter() {
  char system[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryA(system, MAX_PATH);
  return Text(system, length) + "\\cmd.exe";
}

// A name no other test run uses.
Text UniqueName(const char* what) {
  return Text("tandrel util test ") + what + " " + std::to_string(GetCurrentProcessId()) + " " +
         std::to_string(GetTickCount());
}

TEST(StartProgram, RunsTheCommandLineWithOrWithoutApplicationName) {
  support::TempDir dir;
  ASSERT_TRUE(dir);
  const Text cmd = CommandInterpreter();
  const Text byLine = dir.File("by line.txt");
  const Text byName = dir.File("by name.txt");
  // Without an application name the program is the command line's first token (quoted:
  // the path may hold spaces).
  ASSERT_TRUE(util::StartProgram("", "\"" + cmd + "\" /c echo one> \"" + byLine + "\"", 1000));
  ASSERT_TRUE(util::StartProgram(cmd, "cmd /c echo two> \"" + byName + "\"", 1000));
  EXPECT_TRUE(support::WaitFor([&] { return util::FileExists(byLine) && util::FileExists(byName); }, 10000));
  std::string text;
  EXPECT_TRUE(support::WaitFor([&] { return support::ReadWholeFile(byName, &text) && text == "two\r\n"; }, 5000))
      << text;
}

TEST(StartProgram, AMissingProgramIsFalseAndLogged) {
  testlog::LogCapture log;
  const Text missing = log.directory().File("no such program.exe");
  EXPECT_FALSE(util::StartProgram(missing, "\"" + missing + "\"", 1000));
  EXPECT_FALSE(util::StartProgram("", "\"" + missing + "\" argument", 1000));
  EXPECT_TRUE(log.Contains("CreateProcessA failed: error ")) << log.Lines();
  EXPECT_TRUE(log.Contains("could not start " + missing)) << log.Lines();
}

TEST(SingleInstance, EventNameIsTheMd5OfTheNameOrOfTheFallback) {
  struct Case { Text name, eventName; };
  // From python3: hashlib.md5(text.encode('gbk')).hexdigest(); the empty name takes the
  // fallback text 你懒得输入，我就写死，略略.
  const Case cases[] = {{"Tandrel", "0d29340f92752b34cfab085d81d4178c"},
                        {"", "917b41c1b5ace220c8b4dcacd5857727"}};
  for (const Case& c : cases) EXPECT_EQ(util::InstanceEventName(c.name), c.eventName) << c.name;
}

TEST(SingleInstance, ClaimFailsWhileAnotherHoldsTheEventAndThenHoldsIt) {
  testlog::LogCapture log;
  const Text name = UniqueName("guard");
  const Text eventName = util::InstanceEventName(name);
  ASSERT_EQ(eventName.size(), 32u);
  {
    // Another instance's event, made the way a first copy makes it.
    util::UniqueHandle other(CreateEventA(nullptr, FALSE, FALSE, eventName.c_str()));
    ASSERT_TRUE(other);
    EXPECT_FALSE(util::ClaimSingleInstance(name));
    EXPECT_TRUE(log.Contains("another instance holds " + eventName)) << log.Lines();
  }
  // That holder is gone: the claim succeeds and the named event now exists while we run.
  EXPECT_FALSE(util::UniqueHandle(OpenEventA(SYNCHRONIZE, FALSE, eventName.c_str())));
  EXPECT_TRUE(util::ClaimSingleInstance(name));
  EXPECT_TRUE(util::UniqueHandle(OpenEventA(SYNCHRONIZE, FALSE, eventName.c_str())));
  // Released on the way out: the name is free at once for a new copy; a second release is harmless.
  util::ReleaseSingleInstance();
  EXPECT_FALSE(util::UniqueHandle(OpenEventA(SYNCHRONIZE, FALSE, eventName.c_str())));
  util::ReleaseSingleInstance();
  EXPECT_TRUE(util::ClaimSingleInstance(name));
  util::ReleaseSingleInstance();
}

// Two copies released at the same instant, twenty times over: exactly one holds the name
// each time (a check that opens the name and then creates it lets both through now and then).
TEST(SingleInstance, OfTwoCopiesStartedAtTheSameInstantExactlyOneRuns) {
  const Text claimer = "\"" + support::TestBinDir() + "\\util_instance_claimer.exe\"";
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    const Text tag = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()) + "-" +
                     std::to_string(round);
    const Text instance = "tandrel-race-" + tag, readyName = "tandrel-race-ready-" + tag,
               startName = "tandrel-race-start-" + tag, finishName = "tandrel-race-finish-" + tag;
    util::UniqueHandle ready(CreateSemaphoreA(nullptr, 0, 2, readyName.c_str()));
    util::UniqueHandle start(CreateEventA(nullptr, TRUE, FALSE, startName.c_str()));
    util::UniqueHandle finish(CreateEventA(nullptr, TRUE, FALSE, finishName.c_str()));
    ASSERT_TRUE(ready && start && finish);
    const Text command = claimer + " " + instance + " " + readyName + " " + startName + " " + finishName;
    support::Process copies[2] = {support::StartProcess(command), support::StartProcess(command)};
    ASSERT_TRUE(copies[0] && copies[1]);
    for (int i = 0; i < 2; ++i) ASSERT_EQ(WaitForSingleObject(ready.get(), 10000), WAIT_OBJECT_0);
    ASSERT_TRUE(SetEvent(start.get()));
    // The loser leaves at once; the holder stays until told. Two holders both stay: the
    // wait runs out and the exit codes tell.
    HANDLE processes[2] = {copies[0].handle.get(), copies[1].handle.get()};
    WaitForMultipleObjects(2, processes, FALSE, 3000);
    ASSERT_TRUE(SetEvent(finish.get()));
    DWORD codes[2] = {99, 99};
    for (int i = 0; i < 2; ++i) ASSERT_TRUE(support::WaitForExit(copies[i], 10000, &codes[i]));
    EXPECT_EQ(codes[0] + codes[1], 1u) << "exit codes " << codes[0] << " and " << codes[1];
    EXPECT_TRUE(codes[0] <= 1 && codes[1] <= 1) << "exit codes " << codes[0] << " and " << codes[1];
  }
}

}  // namespace
