#include "app/end_program.h"

#include <windows.h>

#include "app/host_view.h"
#include "app/main_form.h"
#include "app/tray.h"
#include "util/input_hooks.h"
#include "util/log.h"

namespace app {

const char* ExitReasonName(ExitReason reason) {
  switch (reason) {
    case ExitReason::kSecondInstance: return "another copy is running";
    case ExitReason::kSkinLibraryMissing: return "the skin library or its export is missing";
    case ExitReason::kUserExit: return "the user chose exit";
    case ExitReason::kClientNotFound: return "no client to start (first-use notice)";
    case ExitReason::kForcedUpdate: return "forced update: the updater takes over";
    case ExitReason::kNoUpdateServer: return "no update server host";
  }
  return "unknown";
}

int ExitCodeOf(ExitReason reason) { return reason == ExitReason::kSkinLibraryMissing ? 1 : 0; }

void EndProgram(ExitReason reason, const std::function<void()>& lastStep) {
  const int code = ExitCodeOf(reason);
  util::LogInfo("ending: %s (exit code %d)", ExitReasonName(reason), code);
  try {
    util::RemoveMouseHook();
    util::RemoveKeyboardHook();
    if (HWND main = Form().mainWindow.Handle()) RemoveTrayIcon(main);
    // Ending our process would destroy the client windows we hold under their running
    // processes: they go back to the desktop first (adoption is stopped before that).
    if (host::InstanceHost* instanceHost = ProgramHost()) instanceHost->ReleaseHostedWindows();
    if (lastStep) lastStep();
  } catch (...) {
    util::LogCaughtException("the way out");
  }
  ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(code));
  util::LogLastError("TerminateProcess(own process)");  // reached only when it failed
  ::ExitProcess(static_cast<UINT>(code));
}

}  // namespace app
