// Hgxcx.exe: downloads the files the main program found out of date, then starts it again.
#include <windows.h>

namespace updater {
int RunUpdater(HINSTANCE instance);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return updater::RunUpdater(instance); }
