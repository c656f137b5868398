#pragma once
// Process-wide low-level keyboard and mouse hooks. Handlers run on the installing
// thread; events are always passed on (CallNextHookEx).
#include "util/text.h"

namespace util {
// modifier: CurrentModifier (0, 16, 17, 18, 91); key: virtual-key code; action: 1 press, 2 release.
using KeyboardHookHandler = void (*)(int modifier, int key, int action);
// button 0..6, action 0..5 as mapped by the hook; pointText "hwnd|x,y".
using MouseHookHandler = void (*)(int button, int action, const Text& pointText);

void InstallKeyboardHook(KeyboardHookHandler handler);  // ignored when installed
void InstallMouseHook(MouseHookHandler handler);        // ignored when installed
bool RemoveMouseHook();

// Pure mappings, exposed for tests.
// What one low-level keyboard event does: the new CurrentModifier, and whether the
// handler is called (report) with which action. Flags below 35 press, above 127 release,
// anything between (an injected key while Alt is held, for one) is ignored.
struct KeyboardEventValues { bool report; int modifier; int action; };
KeyboardEventValues StepKeyboardState(int currentModifier, unsigned key, unsigned flags);
struct MouseEventValues { int button; int action; };
MouseEventValues MapMouseMessage(unsigned message, unsigned mouseData);
Text MakePointText(long long window, int x, int y);
}  // namespace util
