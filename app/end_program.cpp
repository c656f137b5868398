#include "app/end_program.h"

#include <windows.h>

#include "app/host_view.h"
#include "app/main_form.h"
#include "app/tray.h"
#include "util/input_hooks.h"
#include "util/log.h"
#include "util/single_instance.h"

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

namespace {

BOOL CALLBACK HideIfOurs(HWND window, LPARAM) noexcept {
  DWORD pid = 0;
  const DWORD thread = GetWindowThreadProcessId(window, &pid);
  if (pid != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
  // A window of another thread of ours is told, not waited for.
  if (thread == GetCurrentThreadId()) {
    ShowWindow(window, SW_HIDE);
  } else {
    ShowWindowAsync(window, SW_HIDE);
  }
  return TRUE;
}

// The user sees the end at once: every top-level window of ours (the main window with the
// panes and the held login window inside it, a menu or box still open) goes.
void HideOurWindows() {
  if (!EnumWindows(HideIfOurs, 0)) util::LogLastError("EnumWindows(hiding our windows)");
}

}  // namespace

void EndProgram(ExitReason reason, const std::function<void()>& lastStep) {
  const int code = ExitCodeOf(reason);
  util::LogInfo("ending: %s (exit code %d)", ExitReasonName(reason), code);
  try {
    HideOurWindows();
    util::RemoveMouseHook();
    util::RemoveKeyboardHook();
    if (HWND main = Form().mainWindow.Handle()) RemoveTrayIcon(main);
    // A new start is not refused while we wait for our clients below; it adopts their
    // windows as they come free.
    util::ReleaseSingleInstance();
    // Ending our process would destroy the client windows we hold under their running
    // processes: they go back to the desktop first, from helper threads, as each client
    // answers (adoption is stopped before that).
    std::shared_ptr<host::HandBack> handBack;
    if (host::InstanceHost* instanceHost = ProgramHost()) handBack = instanceHost->StartHandBack();
    if (lastStep) lastStep();
    if (handBack) {
      if (!handBack->WaitForAll(handBack->CompletionLimitMs())) {
        util::LogWarning("hand-back: still not done when its time was up; our process ends anyway");
      }
      const host::HandBack::Tally tally = handBack->Count();
      util::LogInfo("hand-back: %d back, %d gone, %d given up, %d unfinished", tally.handedBack, tally.gone,
                    tally.givenUp, tally.pending);
    }
  } catch (...) {
    util::LogCaughtException("the way out");
  }
  ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(code));
  util::LogLastError("TerminateProcess(own process)");  // reached only when it failed
  ::ExitProcess(static_cast<UINT>(code));
}

}  // namespace app
