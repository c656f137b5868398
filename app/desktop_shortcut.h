#pragma once
#include "util/text.h"
namespace app {
// Start-up: asks to create the desktop shortcut unless the user's desktop holds one to us.
void OfferDesktopShortcut();
// The target stored in the shortcut file, or empty on any failure.
Text ReadShortcutTarget(const Text& path);
// Creates or replaces a desktop shortcut through the script host's shell object; true when
// the shell produced a shortcut object (whether or not saving it succeeded).
bool CreateDesktopShortcut(const Text& name, const Text& target, const Text& arguments = Text(),
                           const Text& iconLocation = Text(), int windowStyle = 0,
                           const Text& description = Text(), const Text& hotkey = Text());
// The current user's desktop directory with a trailing "\", or empty.
Text DesktopDirectory();
}  // namespace app
