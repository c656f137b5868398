// Process start: program state, the main window, the message loop.
#include <windows.h>

#include "app/main_form.h"
#include "app/program_state.h"
#include "app/startup.h"
#include "update/install_recovery.h"
#include "util/log.h"
#include "util/program_directory.h"
#include "util/unique_resource.h"

namespace {
constexpr char kLogFileName[] = "tandrel.log";  // in %LOCALAPPDATA%\Tandrel
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // First, so that whatever fails from here on leaves its line.
  util::OpenLog(kLogFileName);
  // Before anything reads the program's files: an update cut off half way is finished or
  // undone, so that every file beside the program is whole and of one release.
  update::RecoverAtProgramStart(util::ProgramDirectory());
  ui::InitialiseUiThread();
  InitialiseProgramState();
  // A normal end comes only from the system: the session ends (the process may be
  // ended right after WM_ENDSESSION) or the main window is destroyed.
  MainForm& f = Form();
  f.mainWindow.onSessionEnded = [] { OnNormalEnd(); };
  f.mainWindow.onDestroyed = [] { PostQuitMessage(0); };
  LoadMainWindow();
#ifdef TANDREL_ANSWERS_GDI_COUNT
  // Test builds: how many GDI objects our owners hold now, for a soak that watches from outside.
  const UINT gdiCountQuery = RegisterWindowMessageA("TandrelGdiObjectsHeld");
  f.mainWindow.onMessage = [previous = f.mainWindow.onMessage, gdiCountQuery](UINT message, WPARAM w, LPARAM l,
                                                                             LRESULT& result) {
    if (gdiCountQuery != 0 && message == gdiCountQuery) {
      const util::GdiObjectCounts counts = util::CountedGdiObjects();
      result = static_cast<LRESULT>(counts.taken - counts.gone);
      return true;
    }
    return previous && previous(message, w, l, result);
  };
#endif

  MSG msg;
  BOOL got = FALSE;
  while ((got = GetMessageA(&msg, nullptr, 0, 0)) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  if (got < 0) util::LogLastError("GetMessageA");
  OnNormalEnd();
  return 0;
}
