#pragma once
#include <windows.h>

namespace updater {
// Shows the updater's window and runs the update; ends the process itself (EndUpdater).
[[noreturn]] void RunUpdater(HINSTANCE instance);
}  // namespace updater
