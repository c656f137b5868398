#pragma once
// The text rules of desktop shortcuts, kept apart from the shell objects that use them.
#include "util/text.h"

namespace app {
// A name holding "\" is reduced to its file name without extension; one ending in "\" to "".
Text ShortcutName(const Text& name);
// desktopDirectory (ending in "\") + name, + ".lnk" unless the name holds ".lnk" in any case.
Text ShortcutFilePath(const Text& desktopDirectory, const Text& name);
// Every "\"-separated part of the target but the last, each followed by "\"; false when the
// target has fewer than two parts.
bool ShortcutWorkingDirectory(const Text& target, Text& workingDirectory);
// The given location; otherwise "SHELL32.dll,4" for a target without extension, or target + ",0".
Text ShortcutIconLocation(const Text& target, const Text& iconLocation);
}  // namespace app
