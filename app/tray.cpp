#include "app/tray.h"
namespace app {
// Not built yet: no tray icon; the menu commands do nothing.
void InstallTrayIcon() {}
void OnTrayEvent(int) {}
void ShowMainWindow() {}
void OnShowWindowCommand() {}
void OnExitCommand() {}
}  // namespace app
