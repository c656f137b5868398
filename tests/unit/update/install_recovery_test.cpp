// Recovery on real files: a folder with a journal or with work files left by an installation
// that was cut off is brought back to all old or all new files, and nothing is left beside them.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>

#include "test_files.h"
#include "tests/support/log_capture.h"
#include "update/handoff_files.h"
#include "update/install_recovery.h"
#include "util/single_instance.h"

using namespace testing_update;

namespace {

class Recovery : public ::testing::Test {
 protected:
  void SetUp() override { dir = FreshDirectory("tandrel-recovery"); }
  void TearDown() override { RemoveTree(dir); }

  void Write(const std::string& name, const std::string& bytes) { ASSERT_TRUE(WriteBytes(dir + "\\" + name, bytes)); }

  void WriteJournal(update::JournalPhase phase, const std::vector<update::JournalEntry>& entries) {
    update::InstallJournal journal;
    journal.phase = phase;
    journal.entries = entries;
    ASSERT_TRUE(update::WriteJournal(dir, journal));
  }

  std::string dir;
};

TEST_F(Recovery, AJournalCutOffHalfWayIsFinished) {
  // a.dat moved in (its backup kept), b.dat copied aside but not moved, c.dat new, not moved.
  Write("a.dat", "new a");
  Write("a.dat.gxbak", "old a");
  Write("b.dat", "old b");
  Write("b.dat.gxbak", "ol");  // a copy cut off: never to be put back
  Write("b.dat.gxtmp", "new b");
  Write("c.dat.gxtmp", "new c");
  Write("keep.dat", "keep");
  WriteJournal(update::JournalPhase::kInstall, {update::MakeJournalEntry("a.dat", 5, true),
                                                update::MakeJournalEntry("b.dat", 5, true),
                                                update::MakeJournalEntry("c.dat", 5, false)});
  testlog::LogCapture log;
  EXPECT_EQ(update::RecoverInterruptedInstall(dir, 1), update::RecoveryOutcome::kRecovered);
  const std::map<std::string, std::string> expected = {
      {"a.dat", "new a"}, {"b.dat", "new b"}, {"c.dat", "new c"}, {"keep.dat", "keep"}};
  EXPECT_EQ(Snapshot(dir), expected);
  EXPECT_TRUE(log.Contains("an installation was cut off")) << log.Lines();
  EXPECT_TRUE(log.Contains("installation of 3 files (installing): finishing it")) << log.Lines();
}

TEST_F(Recovery, ADownloadThatIsNotWholeUndoesTheInstallation) {
  Write("a.dat", "new a");
  Write("a.dat.gxbak", "old a");
  Write("c.dat", "new c");
  Write("b.dat", "old b");
  Write("b.dat.gxtmp", "ne");  // shorter than the journal says
  WriteJournal(update::JournalPhase::kInstall, {update::MakeJournalEntry("a.dat", 5, true),
                                                update::MakeJournalEntry("c.dat", 5, false),
                                                update::MakeJournalEntry("b.dat", 5, true)});
  testlog::LogCapture log;
  EXPECT_EQ(update::RecoverInterruptedInstall(dir, 1), update::RecoveryOutcome::kRecovered);
  const std::map<std::string, std::string> expected = {{"a.dat", "old a"}, {"b.dat", "old b"}};
  EXPECT_EQ(Snapshot(dir), expected);
  EXPECT_TRUE(log.Contains("putting every old file back")) << log.Lines();
}

// Another process holding a file open without any sharing, as long as it lives.
class HeldFile {
 public:
  explicit HeldFile(const std::string& path) {
    const std::string eventName = "tandrel-test-recovery-holder-" + std::to_string(::GetCurrentProcessId());
    ready_ = ::CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
    std::string command = "\"" + ExecutableDirectory() + "\\update_file_holder.exe\" \"" + path + "\" " + eventName;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &holder_))
      held_ = ::WaitForSingleObject(ready_, 10000) == WAIT_OBJECT_0;
  }
  ~HeldFile() { Release(); }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  bool held() const { return held_; }
  void Release() {
    if (holder_.hProcess) {
      ::TerminateProcess(holder_.hProcess, 0);
      ::WaitForSingleObject(holder_.hProcess, 10000);
      ::CloseHandle(holder_.hProcess);
      ::CloseHandle(holder_.hThread);
      holder_ = {};
    }
    if (ready_) ::CloseHandle(ready_);
    ready_ = nullptr;
  }

 private:
  HANDLE ready_ = nullptr;
  PROCESS_INFORMATION holder_{};
  bool held_ = false;
};

// On Windows a file that is open without delete sharing (a running program's image, a file
// another program holds) cannot be replaced: finishing fails there, so the start undoes.
TEST_F(Recovery, ATargetThatCannotBeReplacedTurnsFinishingIntoUndoing) {
  Write("a.dat", "new a");
  Write("a.dat.gxbak", "old a");
  Write("held.dat", "old held");
  Write("held.dat.gxtmp", "new held");
  WriteJournal(update::JournalPhase::kInstall, {update::MakeJournalEntry("a.dat", 5, true),
                                                update::MakeJournalEntry("held.dat", 8, true)});
  HeldFile holder(dir + "\\held.dat");
  ASSERT_TRUE(holder.held());
  testlog::LogCapture log;
  const update::RecoveryOutcome outcome = update::RecoverInterruptedInstall(dir, 1);
  holder.Release();
  EXPECT_EQ(outcome, update::RecoveryOutcome::kRecovered) << log.Lines();
  const std::map<std::string, std::string> expected = {{"a.dat", "old a"}, {"held.dat", "old held"}};
  EXPECT_EQ(Snapshot(dir), expected);
  EXPECT_TRUE(log.Contains("MoveFileExA failed: error ")) << log.Lines();
  EXPECT_TRUE(log.Contains("the installation is undone instead")) << log.Lines();
}

// A roll-back that a held file stopped half way: the file it already put back has neither
// download nor backup any more, like a new one; the journal's note keeps it from being taken
// for one, and the next start finishes the roll-back.
TEST_F(Recovery, ARollBackStoppedHalfWayIsFinishedByTheNextStart) {
  Write("a.dat", "new a");
  Write("a.dat.gxbak", "old a");
  Write("held.dat", "new held");
  Write("held.dat.gxbak", "old held");
  Write("c.dat", "old c");
  Write("c.dat.gxtmp", "ne");  // cut short: the installation cannot be finished
  WriteJournal(update::JournalPhase::kInstall, {update::MakeJournalEntry("a.dat", 5, true),
                                                update::MakeJournalEntry("held.dat", 8, true),
                                                update::MakeJournalEntry("c.dat", 5, true)});
  {
    HeldFile holder(dir + "\\held.dat");
    ASSERT_TRUE(holder.held());
    testlog::LogCapture log;
    EXPECT_EQ(update::RecoverInterruptedInstall(dir, 1), update::RecoveryOutcome::kIncomplete);
    EXPECT_TRUE(log.Contains("the journal stays for the next start")) << log.Lines();
  }
  EXPECT_EQ(ReadBytes(dir + "\\a.dat"), "old a");
  testlog::LogCapture log;
  EXPECT_EQ(update::RecoverInterruptedInstall(dir, 1), update::RecoveryOutcome::kRecovered) << log.Lines();
  const std::map<std::string, std::string> expected = {{"a.dat", "old a"}, {"c.dat", "old c"}, {"held.dat", "old held"}};
  EXPECT_EQ(Snapshot(dir), expected);
}

TEST_F(Recovery, WorkFilesWithoutAJournal) {
  struct Case {
    const char* what;
    std::map<std::string, std::string> before;
    std::map<std::string, std::string> after;
  };
  const Case cases[] = {
      {"an older updater renamed a target away and was ended",
       {{"a.dat", "new a"}, {"a.dat.gxbak", "old a"}, {"b.dat.gxbak", "old b"}, {"b.dat.gxtmp", "new b"}},
       {{"a.dat", "old a"}, {"b.dat", "old b"}}},
      {"downloads of an installation that never began, in a subfolder too",
       {{"a.dat", "old a"}, {"a.dat.gxtmp", "new a"}, {"sub\\", ""}, {"sub\\b.dat.GXTMP", "new b"}},
       {{"a.dat", "old a"}, {"sub\\", ""}}},
      {"backups left while they were being removed",
       {{"a.dat", "new a"}, {"b.dat", "new b"}, {"b.dat.gxbak", "old b"}},
       {{"a.dat", "new a"}, {"b.dat", "new b"}}},
      {"a journal cut off while it was written",
       {{"a.dat", "old a"}, {"gxrz.bin.new", "phase inst"}, {"a.dat.gxtmp", "new a"}},
       {{"a.dat", "old a"}}},
      {"a journal that is not one", {{"a.dat", "old a"}, {"gxrz.bin", "garbage"}}, {{"a.dat", "old a"}}},
  };
  for (const Case& c : cases) {
    RemoveTree(dir);
    ASSERT_TRUE(::CreateDirectoryA(dir.c_str(), nullptr));
    for (const auto& [name, bytes] : c.before) {
      if (name.back() == '\\') ASSERT_TRUE(::CreateDirectoryA((dir + "\\" + name).c_str(), nullptr));
      else Write(name, bytes);
    }
    testlog::LogCapture log;
    EXPECT_EQ(update::RecoverInterruptedInstall(dir, 1), update::RecoveryOutcome::kRecovered) << c.what;
    EXPECT_EQ(Snapshot(dir), c.after) << c.what << "\n" << log.Lines();
  }
}

TEST_F(Recovery, NothingToDoInATidyFolder) {
  Write("a.dat", "a");
  testlog::LogCapture log;
  EXPECT_EQ(update::RecoverInterruptedInstall(dir, 1), update::RecoveryOutcome::kNothingToDo);
  EXPECT_EQ(Snapshot(dir), (std::map<std::string, std::string>{{"a.dat", "a"}}));
}

// The updater may be downloading into the folder right now: its files are not the program's.
TEST_F(Recovery, TheProgramsStartLeavesTheFilesOfAWorkingUpdaterAlone) {
  Write("a.dat", "old a");
  Write("a.dat.gxtmp", "downloading");
  const Text eventName = util::InstanceEventName(update::kUpdaterInstanceName);
  ASSERT_FALSE(eventName.empty());
  HANDLE updaterEvent = ::CreateEventA(nullptr, FALSE, FALSE, eventName.c_str());
  ASSERT_NE(updaterEvent, nullptr);
  EXPECT_EQ(update::RecoverAtProgramStart(dir), update::RecoveryOutcome::kSkipped);
  EXPECT_EQ(ReadBytes(dir + "\\a.dat.gxtmp"), "downloading");
  ::CloseHandle(updaterEvent);
  EXPECT_EQ(update::RecoverAtProgramStart(dir), update::RecoveryOutcome::kRecovered);
  EXPECT_EQ(Snapshot(dir), (std::map<std::string, std::string>{{"a.dat", "old a"}}));
}

}  // namespace
