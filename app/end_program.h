#pragma once
// The one way the program ends itself. Every path that ends the process on its own (a second
// copy, the missing skin library, the tray's exit command, the first-use notice, the forced
// update) calls EndProgram, so what must be released before the process goes is released in
// one place.
#include <functional>

namespace app {

enum class ExitReason {
  kSecondInstance,      // another copy of the program runs
  kSkinLibraryMissing,  // the skin library or its export is missing (the fatal box was shown)
  kUserExit,            // the tray menu's exit command
  kClientNotFound,      // the first-use notice: no client to start
  kForcedUpdate,        // the updater was written out and takes over
  kNoUpdateServer,      // the program was built without an update server host
};

const char* ExitReasonName(ExitReason reason);
int ExitCodeOf(ExitReason reason);

// Logs the reason, stops adoption and hands every hosted client window back to the desktop,
// removes the tray icon and the input hooks, runs lastStep (the forced update starts the
// updater there, once the windows are free), and ends the process with the reason's exit code.
[[noreturn]] void EndProgram(ExitReason reason, const std::function<void()>& lastStep = nullptr);

}  // namespace app
