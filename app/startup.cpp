#include "app/startup.h"

#include <windows.h>

#include <atomic>

#include "app/desktop_shortcut.h"
#include "app/host_view.h"
#include "app/layout.h"
#include "app/main_form.h"
#include "app/program_state.h"
#include "app/single_instance.h"
#include "app/skin_call.h"
#include "app/tray.h"
#include "app/update_step.h"
#include "update/file_version.h"
#include "update/handoff_files.h"
#include "util/input_hooks.h"
#include "util/log.h"

namespace {
constexpr char kTitle[] = "Tandrel";
constexpr ui::Colour kPanelFill = 16119285;   // RGB 245,245,245
constexpr ui::Colour kNoticeBack = 14914888;  // RGB 72,149,227
}  // namespace

void OnMainWindowCreated() {
  MainForm& f = Form();
  const Text directory = ProgramDirectory();
  util::LogInfo("start: Tandrel %s in %s", update::ReadFileVersion("").c_str(), directory.c_str());
  // 1. Title, which also keys the single-instance guard.
  f.mainWindow.SetTitle(kTitle);
  // 2. A second instance ends here.
  app::EnsureSingleInstance(f.mainWindow.Title());
  // 3. Skin.
  app::ApplySkin(directory + "\\sefds.she", "");
  // 4. Layout.
  LayoutMainWindow();
  // 5. Colours.
  f.sidePanel->SetFill(kPanelFill);
  f.noticeBar->SetBackColour(kNoticeBack);
  // The instance host, which the hooks and the first tab below need; it lives for the process.
  host::InstanceHost& instanceHost = app::CreateProgramHost();
  // 6. Keyboard hook.
  util::InstallKeyboardHook([&instanceHost](const util::KeyEvent& event) { instanceHost.OnKeyEvent(event); });
  // 7. A stale updater of an older release; a failure to delete is ignored.
  const Text stale = directory + "\\" + update::kStaleUpdaterFile;
  if (GetFileAttributesA(stale.c_str()) != INVALID_FILE_ATTRIBUTES) {
    if (DeleteFileA(stale.c_str())) {
      util::LogInfo("start: deleted the stale updater %s", stale.c_str());
    } else {
      util::LogLastError("DeleteFileA(stale updater)");
    }
  }
  // 8. Desktop shortcut offer.
  app::OfferDesktopShortcut();
  // 9. The first tab, the add tab.
  instanceHost.CreateFirstTab();
  // 10. Update check: returns, or ends the process (forced update, no server host).
  app::RunUpdateStep();
  // 11. Host set-up on the first tick, after this handler has returned.
  f.hostStartTimer.SetInterval(10);
  // 12. Tray icon.
  app::InstallTrayIcon();
  // 13. Mouse hook.
  util::InstallMouseHook([&instanceHost](const util::MouseEvent& event) { instanceHost.OnMouseEvent(event); });
}

bool OnMainWindowCloseRequested() {
  ui::TopWindow& window = Form().mainWindow;
  if (!CloseWindow(window.Handle())) util::LogLastError("CloseWindow(main window)");
  window.SetVisible(false);
  return false;
}

void OnNormalEnd() {
  static std::atomic<bool> released{false};
  if (released.exchange(true)) return;
  util::LogInfo("ending: normal end of the run (the system ended the session or destroyed the window)");
  ReleaseProgramState();
  if (host::InstanceHost* instanceHost = app::ProgramHost()) instanceHost->ForgetInstances();
}
