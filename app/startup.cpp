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
#include "app/startup_order.h"
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

// Places 6, 9 and 13 need the instance host; without it they are skipped, logged.
bool HaveHost(const host::InstanceHost* instanceHost, const char* place) {
  if (instanceHost) return true;
  util::LogError("start: place %s skipped, there is no instance host", place);
  return false;
}

void DeleteStaleUpdater(const Text& directory) {
  const Text stale = directory + "\\" + update::kStaleUpdaterFile;
  if (GetFileAttributesA(stale.c_str()) != INVALID_FILE_ATTRIBUTES) {
    if (DeleteFileA(stale.c_str())) {
      util::LogInfo("start: deleted the stale updater %s", stale.c_str());
    } else {
      util::LogLastError("DeleteFileA(stale updater)");
    }
  }
}

}  // namespace

void OnMainWindowCreated() {
  MainForm& f = Form();
  const Text directory = ProgramDirectory();
  util::LogInfo("start: Tandrel %s in %s", update::ReadFileVersion("").c_str(), directory.c_str());
  // The instance host, which the hooks and the first tab need; it lives for the process.
  host::InstanceHost* instanceHost = nullptr;
  // Places 2 and 10 may end the process; nothing else stops the order.
  app::RunStartupOrder({
      // 1. Title, which also keys the single-instance guard.
      {"1 title", [&f] { f.mainWindow.SetTitle(kTitle); }},
      // 2. A second instance ends here.
      {"2 single-instance guard", [&f] { app::EnsureSingleInstance(f.mainWindow.Title()); }},
      {"3 skin", [&directory] { app::ApplySkin(directory + "\\sefds.she", ""); }},
      {"4 layout", [] { LayoutMainWindow(); }},
      {"5 colours",
       [&f] {
         f.sidePanel->SetFill(kPanelFill);
         f.noticeBar->SetBackColour(kNoticeBack);
       }},
      {"instance host", [&instanceHost] { instanceHost = &app::CreateProgramHost(); }},
      {"6 keyboard hook",
       [&instanceHost] {
         if (!HaveHost(instanceHost, "6 keyboard hook")) return;
         host::InstanceHost* h = instanceHost;
         util::InstallKeyboardHook([h](const util::KeyEvent& event) { h->OnKeyEvent(event); });
       }},
      // 7. A stale updater of an older release; a failure to delete is ignored.
      {"7 stale updater", [&directory] { DeleteStaleUpdater(directory); }},
      {"8 desktop shortcut offer", [] { app::OfferDesktopShortcut(); }},
      // 9. The first tab, the add tab.
      {"9 first tab",
       [&instanceHost] {
         if (HaveHost(instanceHost, "9 first tab")) instanceHost->CreateFirstTab();
       }},
      // 10. Update check: returns, or ends the process (forced update, no server host).
      {"10 update check", [] { app::RunUpdateStep(); }},
      // 11. Host set-up on the first tick, after this handler has returned.
      {"11 host set-up timer", [&f] { f.hostStartTimer.SetInterval(10); }},
      {"12 tray icon", [] { app::InstallTrayIcon(); }},
      {"13 mouse hook",
       [&instanceHost] {
         if (!HaveHost(instanceHost, "13 mouse hook")) return;
         host::InstanceHost* h = instanceHost;
         util::InstallMouseHook([h](const util::MouseEvent& event) { h->OnMouseEvent(event); });
       }},
  });
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
