// Start-up's place 10 without windows: which units the outcome shows, whether the hand-off is
// tried, whether the program ends, and the one log line of the decision.
#include <gtest/gtest.h>

#include "app/update_step.h"

namespace {

using Kind = update::UpdateOutcome::Kind;

update::UpdateOutcome Outcome(Kind kind, const Text& link, int dueFiles) {
  update::UpdateOutcome outcome;
  outcome.kind = kind;
  outcome.linkAddress = link;
  outcome.dueFileCount = dueFiles;
  for (int i = 0; i < dueFiles; ++i) outcome.dueList += "<wjmc>f</wjmc><wjdz>a</wjdz>\r\n";
  return outcome;
}

TEST(UpdateStep, EachOutcomeShowsEndsOrHandsOffAsDecided) {
  struct Case {
    const char* what;
    update::UpdateOutcome outcome;
    bool endAtOnce, showLinkPicture, tryHandOff;
  } cases[] = {
      {"nothing due, no link", Outcome(Kind::kNothingDue, "", 0), false, false, false},
      {"nothing due, a link of spaces", Outcome(Kind::kNothingDue, "   ", 0), false, true, false},
      {"forced update with a link", Outcome(Kind::kForcedUpdate, "http://x/", 2), false, true, true},
      {"forced update without a link", Outcome(Kind::kForcedUpdate, "", 1), false, false, true},
      {"server unreachable", Outcome(Kind::kServerUnreachable, "", 0), false, false, false},
      {"no server host", Outcome(Kind::kNoServerHost, "", 0), true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const app::UpdateStepPlan plan = app::PlanUpdateStep(c.outcome);
    EXPECT_EQ(plan.endAtOnce, c.endAtOnce);
    EXPECT_EQ(plan.showLinkPicture, c.showLinkPicture);
    EXPECT_EQ(plan.tryHandOff, c.tryHandOff);
  }
}

TEST(UpdateStep, DecisionLineNamesTheDecisionAndTheDueCount) {
  struct Case {
    update::UpdateOutcome outcome;
    bool handoffFilesWritten;
    Text line;
  } cases[] = {
      {Outcome(Kind::kNothingDue, "", 0), false, "update check: nothing due"},
      {Outcome(Kind::kServerUnreachable, "", 0), false,
       "update check: server unreachable (every fetch came back empty), nothing due"},
      {Outcome(Kind::kNoServerHost, "", 0), false, "update check: no update server host built in"},
      {Outcome(Kind::kForcedUpdate, "", 3), true, "update check: forced update, 3 file(s) due"},
      {Outcome(Kind::kForcedUpdate, "", 2), false,
       "update check: 2 file(s) due, but the hand-off files could not be written: going on as if nothing were due"},
  };
  for (const Case& c : cases) EXPECT_EQ(app::UpdateDecisionLine(c.outcome, c.handoffFilesWritten), c.line);
}

}  // namespace
