#pragma once
// Start-up place 10: the update check's outcome put to work. The texts go into the program
// state, the link picture shows when there is a link, and a forced update tells the user and
// ends the program with the updater's start as the last step.
#include "update/update_check.h"
#include "util/text.h"

namespace app {

// What the outcome asks of start-up, before the hand-off files are tried.
struct UpdateStepPlan {
  bool endAtOnce = false;        // no update server host: end without a message, showing nothing
  bool showLinkPicture = false;  // a link text, however blank, shows the picture
  bool tryHandOff = false;       // something is due: write the hand-off files
};
UpdateStepPlan PlanUpdateStep(const update::UpdateOutcome& outcome);

// The decision as the log's one line ("update check: ..."). handoffFilesWritten counts only
// for a forced update: without gxwj.bin the start goes on as if nothing were due.
Text UpdateDecisionLine(const update::UpdateOutcome& outcome, bool handoffFilesWritten);

// Runs the check against the built-in server and acts on it; returns unless the program ends.
void RunUpdateStep();

}  // namespace app
