#include "updater/end_updater.h"

#include <windows.h>

#include "util/log.h"

namespace updater {

const char* UpdaterExitName(UpdaterExit reason) {
  switch (reason) {
    case UpdaterExit::kSecondInstance: return "another updater is running";
    case UpdaterExit::kNoDueList: return "no due list";
    case UpdaterExit::kEmptyDueList: return "the due list names no file";
    case UpdaterExit::kNoWorkerThread: return "the download thread could not start";
    case UpdaterExit::kDownloadsFailed: return "the downloads stopped on an exception";
    case UpdaterExit::kNoWindow: return "the window could not be created";
    case UpdaterExit::kStartFailed: return "the start-up stopped on an exception";
    case UpdaterExit::kMessageLoopEnded: return "the message loop ended";
    case UpdaterExit::kFinished: return "finished";
  }
  return "unknown reason";
}

unsigned UpdaterExitCode(UpdaterExit reason) {
  return reason == UpdaterExit::kNoWindow || reason == UpdaterExit::kStartFailed ? 1u : 0u;
}

void EndUpdater(UpdaterExit reason) noexcept {
  const unsigned code = UpdaterExitCode(reason);
  util::LogInfo("updater ends (exit code %u): %s", code, UpdaterExitName(reason));
  // TerminateProcess, not ExitProcess: a download thread that was given up on may still be
  // inside WinHttp, and nothing of ours needs an orderly unload.
  ::TerminateProcess(::GetCurrentProcess(), code);
  // TerminateProcess of the own process does not return; should it, leave all the same.
  ::ExitProcess(code);
}

}  // namespace updater
