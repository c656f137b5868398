// Hgxcx.exe: downloads the files the main program found out of date, then starts it again.
#include <windows.h>

#include "updater/end_updater.h"
#include "updater/updater_window.h"
#include "util/log.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // Beside the main program's tandrel.log.
  util::OpenLog("updater.log");
  util::LogInfo("updater started");
  try {
    updater::RunUpdater(instance);
  } catch (...) {
    util::LogCaughtException("the updater's start-up");
  }
  updater::EndUpdater(updater::UpdaterExit::kStartFailed);
}
