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

// Logs the reason; at once hides every window of ours, removes the input hooks and the tray
// icon and frees the single-instance name; stops adoption and starts handing every client
// window we hold back to the desktop; runs lastStep (the forced update starts the updater
// there); and ends the process with the reason's exit code once every window is back (or its
// client has stayed hung past the give-up time). Nothing here waits for a client itself.
[[noreturn]] void EndProgram(ExitReason reason, const std::function<void()>& lastStep = nullptr);

}  // namespace app
