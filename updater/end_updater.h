#pragma once
// The updater's one way out: every path that ends the process says why.

namespace updater {

enum class UpdaterExit {
  kSecondInstance,   // another updater is at work
  kNoDueList,        // no gxwj.bin beside the updater: nothing was asked
  kEmptyDueList,     // gxwj.bin named no file
  kNoWorkerThread,   // the downloads could not be started
  kDownloadsFailed,  // the download thread stopped on an exception
  kNoWindow,         // the window could not be created
  kStartFailed,      // the start-up stopped on an exception
  kMessageLoopEnded, // the window's messages stopped
  kFinished,         // the downloads are done and the main program was started again
};

// The text the log gives the reason.
const char* UpdaterExitName(UpdaterExit reason);
// The process's exit code for the reason: 1 when the updater could not start (no window,
// an exception while starting), otherwise 0.
unsigned UpdaterExitCode(UpdaterExit reason);

// Logs the reason and ends the process at once, from any thread: download threads that are
// still running are not waited for.
[[noreturn]] void EndUpdater(UpdaterExit reason) noexcept;

}  // namespace updater
