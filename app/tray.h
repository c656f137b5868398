#pragma once
namespace app {
void InstallTrayIcon();          // start-up: MainWindow's tray icon with the tip "Tandrel"
void OnTrayEvent(int argument);  // 1 left up, 2 double click, 3 right up / context menu
void ShowMainWindow();
void OnShowWindowCommand();
void OnExitCommand();
}  // namespace app
