// An updater ended after any step of putting its files in place (Task Manager, a shutdown, a
// power cut) leaves a folder that the next start, the updater's or the program's, brings back
// to all old or all new files, each whole, with nothing left beside them and nothing lost.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "loopback_server.h"
#include "test_files.h"
#include "tests/support/log_capture.h"
#include "tests/support/test_support.h"
#include "update/install_recovery.h"
#include "update/manifest.h"
#include "util/sha256.h"

using namespace testing_update;

namespace {

// The test copy's exit code when it ended itself after the step it was given.
constexpr DWORD kEndedAfterStep = 77;
// Three files have a few steps each; a run that never finishes stops the loop here.
constexpr int kMaxSteps = 40;

struct ListedFile {
  std::string name;
  std::string oldBytes;  // empty: the file is new to the folder
  std::string newBytes;
};

class InterruptedInstall : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start());
    root = FreshDirectory("tandrel-interrupted");
    updaterBytes = ReadBytes(FromUnixPath(FAULTY_UPDATER_PATH));
    ASSERT_FALSE(updaterBytes.empty());
    files = {{"a.dat", "old a", std::string(300000, 'A')},
             {"sub\\b.dat", "old b", "new b"},
             {"c.dat", "", "new c"}};
    for (std::size_t i = 0; i < files.size(); ++i) {
      Answer answer;
      answer.body = files[i].newBytes;
      server.Set("/f/" + std::to_string(i), answer);
    }
  }
  void TearDown() override {
    ::SetEnvironmentVariableA("TANDREL_END_AFTER_INSTALL_STEP", nullptr);
    server.Stop();
    RemoveTree(root);
  }

  // The folder before an update: the old files, one that is not listed, the updater and its
  // hand-off files (the program to start again is missing, so nothing is started).
  void Prepare() {
    RemoveTree(root);
    ASSERT_TRUE(::CreateDirectoryA(root.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA((root + "\\sub").c_str(), nullptr));
    std::string dueList;
    for (std::size_t i = 0; i < files.size(); ++i) {
      if (!files[i].oldBytes.empty()) {
        ASSERT_TRUE(WriteBytes(root + "\\" + files[i].name, files[i].oldBytes));
      }
      const Bytes newBytes(files[i].newBytes.begin(), files[i].newBytes.end());
      dueList += update::DueLine(
          {files[i].name, "", server.Address("/f/" + std::to_string(i)), util::Sha256Hex(newBytes)});
    }
    ASSERT_TRUE(WriteBytes(root + "\\keep.dat", "not listed"));
    ASSERT_TRUE(WriteBytes(root + "\\Hgxcx.exe", updaterBytes));
    ASSERT_TRUE(WriteBytes(root + "\\sdhwt.ini", "[tysj]\r\nyxmc=absent.exe\r\n"));
    ASSERT_TRUE(WriteBytes(root + "\\gxwj.bin", dueList));
  }

  std::map<std::string, std::string> Expected(bool newFiles) const {
    std::map<std::string, std::string> expected = {
        {"sub\\", ""}, {"keep.dat", "not listed"}, {"Hgxcx.exe", updaterBytes}, {"sdhwt.ini", "[tysj]\r\nyxmc=absent.exe\r\n"}};
    for (const ListedFile& f : files) {
      if (newFiles) {
        expected[f.name] = f.newBytes;
      } else if (!f.oldBytes.empty()) {
        expected[f.name] = f.oldBytes;
      }
    }
    return expected;
  }

  // Names and sizes (the updater is binary).
  static std::string Describe(const std::map<std::string, std::string>& folder) {
    std::ostringstream out;
    for (const auto& [name, bytes] : folder) {
      out << "  " << name << " (" << bytes.size() << " bytes";
      if (bytes.size() < 16) out << ": \"" << bytes << "\"";
      out << ")\n";
    }
    return out.str();
  }

  // Runs the updater in the folder; endAfter 0 runs it without a fault. Its exit code.
  DWORD RunUpdater(int endAfter) {
    ::SetEnvironmentVariableA("TANDREL_END_AFTER_INSTALL_STEP",
                              endAfter > 0 ? std::to_string(endAfter).c_str() : nullptr);
    support::Process process = support::StartProcess("\"" + root + "\\Hgxcx.exe\"", root);
    ::SetEnvironmentVariableA("TANDREL_END_AFTER_INSTALL_STEP", nullptr);
    if (!process) return 1000;
    DWORD code = 1001;
    if (!support::WaitForExit(process, 60000, &code)) {
      support::EndProcessAndWait(process);
      return 1002;
    }
    return code;
  }

  // For k = 1, 2, ...: the updater is ended after step k, then recover() runs; the folder must
  // then be whole. Stops at the first k the installation does not reach.
  void EndAfterEveryStep(const std::function<void()>& recover, const char* recoveredBy) {
    int k = 1;
    for (; k <= kMaxSteps; ++k) {
      Prepare();
      const DWORD code = RunUpdater(k);
      if (code != kEndedAfterStep) {
        EXPECT_EQ(code, 0u) << "the run without an end at step " << k;
        EXPECT_TRUE(Snapshot(root) == Expected(true)) << "a whole run leaves:\n" << Describe(Snapshot(root));
        break;
      }
      recover();
      const auto after = Snapshot(root);
      const bool allOld = after == Expected(false);
      const bool allNew = after == Expected(true);
      EXPECT_TRUE(allOld || allNew) << recoveredBy << " after an end at step " << k << " leaves:\n" << Describe(after);
      // Every download was complete before the first file was touched: the update is finished.
      EXPECT_FALSE(allOld) << recoveredBy << " undid the update after an end at step " << k;
    }
    // Each of the three files is moved in at a step of its own, so at least three ends happened.
    EXPECT_GT(k, 3) << "the test copy was not ended after its steps";
    EXPECT_LE(k, kMaxSteps) << "the updater never ran to its end";
  }

  LoopbackServer server;
  std::string root, updaterBytes;
  std::vector<ListedFile> files;
};

TEST_F(InterruptedInstall, TheUpdaterStartedAgainLeavesEveryFileWholeAfterAnEndAtAnyStep) {
  EndAfterEveryStep(
      [&] {
        // No due list is left (the first run took it): this start only recovers, then ends.
        EXPECT_EQ(RunUpdater(0), 0u);
      },
      "the updater");
}

TEST_F(InterruptedInstall, TheProgramsStartLeavesEveryFileWholeAfterAnEndAtAnyStep) {
  EndAfterEveryStep(
      [&] {
        // Ended after its very last step, the updater left nothing to recover.
        const bool tidy = Snapshot(root) == Expected(true);
        testlog::LogCapture log;
        EXPECT_EQ(update::RecoverAtProgramStart(root),
                  tidy ? update::RecoveryOutcome::kNothingToDo : update::RecoveryOutcome::kRecovered)
            << log.Lines();
        if (!tidy) {
          EXPECT_TRUE(log.Contains("recovery of an interrupted update: recovered")) << log.Lines();
        }
      },
      "the program's start");
}

}  // namespace
