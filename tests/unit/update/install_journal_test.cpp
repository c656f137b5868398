// The installation journal's format and the pure decisions of recovery: which way a folder
// whose installation was cut off is brought back to whole files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "update/install_journal.h"

namespace {

using update::FoundFiles;
using update::InstallJournal;
using update::JournalPhase;
using update::RecoveryDirection;

TEST(InstallJournal, WhatIsWrittenReadsBackTheSame) {
  InstallJournal journal;
  journal.phase = JournalPhase::kRollBack;
  // "乗" is 0x81 0x5C in GBK: its trail byte is a backslash's.
  journal.entries = {update::MakeJournalEntry("tandrel.exe", 123456789012LL, true),
                     update::MakeJournalEntry("乗\\新.dat", 0, false)};
  const Text text = update::FormatJournal(journal);
  EXPECT_EQ(text.substr(0, text.find("\r\n")), "phase rollback");
  EXPECT_NE(text.find("<target>tandrel.exe</target><backup>tandrel.exe.gxbak</backup>"
                      "<download>tandrel.exe.gxtmp</download><size>123456789012</size><old>1</old>\r\n"),
            Text::npos);
  InstallJournal read;
  ASSERT_TRUE(update::ParseJournal(text, read));
  EXPECT_EQ(read.phase, JournalPhase::kRollBack);
  ASSERT_EQ(read.entries.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(read.entries[i].target, journal.entries[i].target);
    EXPECT_EQ(read.entries[i].backup, journal.entries[i].backup);
    EXPECT_EQ(read.entries[i].download, journal.entries[i].download);
    EXPECT_EQ(read.entries[i].downloadSize, journal.entries[i].downloadSize);
    EXPECT_EQ(read.entries[i].hadOld, journal.entries[i].hadOld);
  }
}

TEST(InstallJournal, ATextItDidNotWriteIsRefused) {
  const Text good = "<target>a.dat</target><backup>a.dat.gxbak</backup><download>a.dat.gxtmp</download>"
                    "<size>5</size><old>1</old>\r\n";
  struct Case {
    const char* what;
    Text text;
  };
  const Case cases[] = {
      {"empty", ""},
      {"no entry", "phase install\r\n"},
      {"an unknown phase", "phase maybe\r\n" + good},
      {"the last line cut off", "phase install\r\n" + good.substr(0, good.size() - 2)},
      {"a backup of another file",
       "phase install\r\n<target>a.dat</target><backup>b.dat.gxbak</backup><download>a.dat.gxtmp</download>"
       "<size>5</size><old>1</old>\r\n"},
      {"a target outside the folder",
       "phase install\r\n<target>..\\a.dat</target><backup>..\\a.dat.gxbak</backup>"
       "<download>..\\a.dat.gxtmp</download><size>5</size><old>1</old>\r\n"},
      {"a size that is no number",
       "phase install\r\n<target>a.dat</target><backup>a.dat.gxbak</backup><download>a.dat.gxtmp</download>"
       "<size>-5</size><old>1</old>\r\n"},
      {"a missing tag", "phase install\r\n<target>a.dat</target><backup>a.dat.gxbak</backup>\r\n"},
  };
  for (const Case& c : cases) {
    InstallJournal journal;
    EXPECT_FALSE(update::ParseJournal(c.text, journal)) << c.what;
  }
  InstallJournal journal;
  EXPECT_TRUE(update::ParseJournal("phase install\r\n" + good, journal));
}

// What is on disk for an entry, in the words of the installation's steps.
FoundFiles Untouched(bool targetExists = true, std::int64_t downloadSize = 10) {
  return {targetExists, false, true, downloadSize};
}
FoundFiles BackedUp() { return {true, true, true, 10}; }      // copied aside, not moved yet
FoundFiles Placed() { return {true, true, false, -1}; }       // moved in, backup kept
FoundFiles PlacedNoBackup() { return {true, false, false, -1}; }
FoundFiles Gone() { return {false, false, false, -1}; }       // target and download both missing
FoundFiles Restored() { return {true, false, true, 10}; }     // rolled back: old file, download left

TEST(DecideRecovery, FinishesWhenEveryNewFileIsThereAndUndoesOtherwise) {
  struct Case {
    const char* what;
    JournalPhase phase;
    std::vector<bool> hadOld;  // per entry; every download is 10 bytes
    std::vector<FoundFiles> found;
    RecoveryDirection direction;
    bool whole;
  };
  const auto kIn = JournalPhase::kInstall;
  const auto kBackPhase = JournalPhase::kRollBack;
  const auto kForward = RecoveryDirection::kForward;
  const auto kBack = RecoveryDirection::kBack;
  const Case cases[] = {
      {"journal written, nothing touched", kIn, {true, true, false}, {Untouched(), Untouched(), Untouched(false)}, kForward, true},
      {"first backup made", kIn, {true, true}, {BackedUp(), Untouched()}, kForward, true},
      {"half way", kIn, {true, true, false}, {Placed(), BackedUp(), Untouched(false)}, kForward, true},
      {"all moved in, backups being removed", kIn, {true, true, false}, {PlacedNoBackup(), Placed(), PlacedNoBackup()}, kForward, true},
      {"a download cut short cannot be finished", kIn, {true, true}, {Placed(), Untouched(true, 4)}, kBack, true},
      {"a download gone and its target too", kIn, {true, false}, {Placed(), Gone()}, kBack, true},
      {"roll-back under way is continued", kBackPhase, {true, true}, {Placed(), Restored()}, kBack, true},
      {"roll-back of a new file", kBackPhase, {false, true}, {PlacedNoBackup(), Untouched()}, kBack, true},
      {"roll-back that restored a file already", kBackPhase, {true, true}, {PlacedNoBackup(), Placed()}, kBack, true},
      {"neither way is whole", kIn, {true, true}, {PlacedNoBackup(), Untouched(true, 3)}, kBack, false},
  };
  for (const Case& c : cases) {
    InstallJournal journal;
    journal.phase = c.phase;
    for (std::size_t i = 0; i < c.hadOld.size(); ++i)
      journal.entries.push_back(update::MakeJournalEntry("f" + std::to_string(i), 10, c.hadOld[i]));
    const update::RecoveryPlan plan = update::DecideRecovery(journal, c.found);
    EXPECT_EQ(plan.direction, c.direction) << c.what;
    EXPECT_EQ(plan.whole, c.whole) << c.what;
  }
}

TEST(DecideLeftoverRecovery, WorkFilesWithoutAJournal) {
  struct Case {
    const char* what;
    std::vector<FoundFiles> found;
    RecoveryDirection direction;
  };
  const Case cases[] = {
      {"downloads only: never began", {{true, false, true, 5}, {false, false, true, 5}}, RecoveryDirection::kBack},
      {"a target renamed away by an older updater", {{false, true, false, -1}, {true, false, true, 5}}, RecoveryDirection::kBack},
      {"backups beside downloads: cut off half way", {{true, true, false, -1}, {true, false, true, 5}}, RecoveryDirection::kBack},
      {"backups only, every target there: cut off while cleaning up", {{true, true, false, -1}, {true, true, false, -1}},
       RecoveryDirection::kForward},
  };
  for (const Case& c : cases) EXPECT_EQ(update::DecideLeftoverRecovery(c.found), c.direction) << c.what;
}

}  // namespace
