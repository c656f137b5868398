#include "app/update_step.h"

#include <windows.h>

#include <cstdio>

#include "app/end_program.h"
#include "app/main_form.h"
#include "app/program_state.h"
#include "update/failed_update.h"
#include "update/handoff.h"
#include "util/delay.h"
#include "util/log.h"

namespace app {
namespace {

using Kind = update::UpdateOutcome::Kind;

constexpr int kAfterCheckDelayMs = 1000;  // the customisation label shows a second before hosting starts
constexpr char kForcedUpdateNotice[] = "发现新版本，程序强制更新！";
constexpr char kNoticeTitle[] = "提示信息";

// A due list the updater could not install last time waits one start: handing it straight
// back would send the program and the updater round for ever. The start after tries again.
bool SkipsRepeatedDueList(const Text& directory, const update::UpdateOutcome& outcome) {
  if (update::DecideAndNoteHandOff(directory, outcome.dueList) == update::HandOffDecision::kHandOff) return false;
  util::LogInfo("update check: %d file(s) due, the same list the updater failed on last time: "
                "going on as if nothing were due",
                outcome.dueFileCount);
  return true;
}

}  // namespace

UpdateStepPlan PlanUpdateStep(const update::UpdateOutcome& outcome) {
  UpdateStepPlan plan;
  if (outcome.kind == Kind::kNoServerHost) {
    plan.endAtOnce = true;
    return plan;
  }
  plan.showLinkPicture = !outcome.linkAddress.empty();  // not trimmed: spaces count as a link
  plan.tryHandOff = outcome.kind == Kind::kForcedUpdate;
  return plan;
}

Text UpdateDecisionLine(const update::UpdateOutcome& outcome, bool handoffFilesWritten) {
  char line[160];
  switch (outcome.kind) {
    case Kind::kNothingDue:
      return "update check: nothing due";
    case Kind::kServerUnreachable:
      return "update check: server unreachable (every fetch came back empty), nothing due";
    case Kind::kNoServerHost:
      return "update check: no update server host built in";
    case Kind::kForcedUpdate:
      if (handoffFilesWritten) {
        std::snprintf(line, sizeof line, "update check: forced update, %d file(s) due", outcome.dueFileCount);
      } else {
        std::snprintf(line, sizeof line,
                      "update check: %d file(s) due, but the hand-off files could not be written: "
                      "going on as if nothing were due",
                      outcome.dueFileCount);
      }
      return line;
  }
  return "update check: unknown outcome";
}

void RunUpdateStep() {
  const Text directory = ProgramDirectory();
  // The fetches block for as long as the server takes: they run on a worker so that this
  // thread keeps answering the keyboard hook installed before (the system holds every key
  // press for it). Input to our own windows stays queued until the check is done, as it did
  // behind the blocking call; the worker touches no control.
  update::UpdateOutcome outcome;
  util::RunOnWorkerWhilePumping([&outcome, &directory] { outcome = update::CheckForUpdates(directory); },
                                "update check");
  const UpdateStepPlan plan = PlanUpdateStep(outcome);
  if (plan.endAtOnce) {
    util::LogInfo("%s", UpdateDecisionLine(outcome, false).c_str());
    EndProgram(ExitReason::kNoUpdateServer);
  }

  MainForm& f = Form();
  Program().ContactText = outcome.contactText;
  Program().LinkAddress = outcome.linkAddress;
  if (plan.showLinkPicture && f.linkPicture) f.linkPicture->SetVisible(true);

  const bool skipRepeat = plan.tryHandOff && SkipsRepeatedDueList(directory, outcome);
  const bool handOff = plan.tryHandOff && !skipRepeat && update::WriteHandoffFiles(directory, outcome.dueList);
  if (!skipRepeat) util::LogInfo("%s", UpdateDecisionLine(outcome, handOff).c_str());
  if (handOff) {
    // A missing updater is noticed in the log only: the program ends either way.
    update::WriteUpdater(directory);
    MessageBoxA(f.mainWindow.Handle(), kForcedUpdateNotice, kNoticeTitle, MB_OK | MB_ICONINFORMATION | MB_TASKMODAL);
    // The updater starts last, after our windows have gone and the hand-back has begun.
    EndProgram(ExitReason::kForcedUpdate, [directory] { update::StartUpdater(directory); });
  }

  if (f.customisationLabel) f.customisationLabel->SetVisible(true);
  util::Delay(kAfterCheckDelayMs);
}

}  // namespace app
