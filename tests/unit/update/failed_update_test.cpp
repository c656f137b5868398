// The note of a due list the updater could not install, and what a start does with it: the
// same list is not handed straight back (that would loop), but is tried again the start after.
#include <gtest/gtest.h>

#include "test_files.h"
#include "tests/support/log_capture.h"
#include "update/failed_update.h"
#include "update/handoff_files.h"

using namespace testing_update;
using update::FailedUpdateRecord;
using update::HandOffDecision;
using State = update::FailedUpdateRecord::State;

namespace {

const Text kList = "<wjmc>a.dll</wjmc><wjdz>http://h/a.dll</wjdz><wjbb>1.0.0.2</wjbb>\r\n";
const Text kOtherList = "<wjmc>a.dll</wjmc><wjdz>http://h/a.dll</wjdz><wjbb>1.0.0.3</wjbb>\r\n";

TEST(FailedUpdate, DecisionTable) {
  struct Case { const char* what; FailedUpdateRecord record; Text due; HandOffDecision expected; };
  const Case cases[] = {
      {"no note", {State::kNone, ""}, kList, HandOffDecision::kHandOff},
      {"same list failed: once normally", {State::kFailed, kList}, kList, HandOffDecision::kStartNormally},
      {"same list, skipped once already", {State::kSkipped, kList}, kList, HandOffDecision::kHandOff},
      {"another list than the failed one", {State::kFailed, kList}, kOtherList, HandOffDecision::kHandOff},
      {"another list after a skip", {State::kSkipped, kList}, kOtherList, HandOffDecision::kHandOff},
      {"a prefix of the failed list is another list", {State::kFailed, kList + kOtherList}, kList,
       HandOffDecision::kHandOff},
  };
  for (const Case& c : cases) EXPECT_EQ(update::DecideHandOff(c.record, c.due), c.expected) << c.what;
}

TEST(FailedUpdate, NoteTextRoundTripsAndForeignTextIsNoNote) {
  for (State state : {State::kFailed, State::kSkipped}) {
    const FailedUpdateRecord read = update::ParseFailedUpdateRecord(update::FormatFailedUpdateRecord({state, kList}));
    EXPECT_EQ(read.state, state);
    EXPECT_EQ(read.dueList, kList);
  }
  for (const char* foreign : {"", "fail", "FAILED\r\n<wjmc>a</wjmc>", "<wjmc>a.dll</wjmc>\r\n"}) {
    EXPECT_EQ(update::ParseFailedUpdateRecord(foreign).state, State::kNone) << foreign;
  }
}

class FailedUpdateFile : public ::testing::Test {
 protected:
  void SetUp() override { dir = FreshDirectory("tandrel-failed-update"); }
  void TearDown() override { RemoveTree(dir); }
  std::string NotePath() const { return dir + "\\" + update::kFailedUpdateFile; }
  std::string dir;
};

// Each start is a DecideAndNoteHandOff; a failed updater run writes the note again.
TEST_F(FailedUpdateFile, TheSameFailingListAlternatesBetweenANormalStartAndAnotherTry) {
  testlog::LogCapture log;
  EXPECT_EQ(update::DecideAndNoteHandOff(dir, kList), HandOffDecision::kHandOff);  // no note yet
  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(update::WriteFailedUpdateRecord(dir, {State::kFailed, kList}));  // the updater failed
    EXPECT_EQ(update::DecideAndNoteHandOff(dir, kList), HandOffDecision::kStartNormally) << round;
    EXPECT_EQ(update::DecideAndNoteHandOff(dir, kList), HandOffDecision::kHandOff) << round;
  }
  EXPECT_TRUE(log.Contains("could not install this due list last time: starting normally this once")) << log.Lines();
  EXPECT_TRUE(log.Contains("the due list that failed before is tried again")) << log.Lines();
  // A list that differs from the failed one goes at once and leaves the note as it was.
  ASSERT_TRUE(update::WriteFailedUpdateRecord(dir, {State::kFailed, kList}));
  EXPECT_EQ(update::DecideAndNoteHandOff(dir, kOtherList), HandOffDecision::kHandOff);
  EXPECT_EQ(ReadBytes(NotePath()), "failed\r\n" + kList);
}

TEST_F(FailedUpdateFile, AForeignOrMissingNoteHandsOffAndRemovingIsQuietWhenThereIsNone) {
  ASSERT_TRUE(WriteBytes(NotePath(), "garbage"));
  testlog::LogCapture log;
  EXPECT_EQ(update::DecideAndNoteHandOff(dir, kList), HandOffDecision::kHandOff);
  EXPECT_TRUE(log.Contains("is not a failed-update note")) << log.Lines();
  EXPECT_TRUE(update::RemoveFailedUpdateRecord(dir));
  EXPECT_FALSE(Exists(NotePath()));
  EXPECT_TRUE(update::RemoveFailedUpdateRecord(dir));  // none left: nothing to do
  EXPECT_EQ(update::ReadFailedUpdateRecord(dir).state, State::kNone);
}

}  // namespace
