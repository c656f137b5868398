#pragma once
// Process-wide low-level keyboard and mouse hooks. Handlers run on the installing
// thread; events are always passed on (CallNextHookEx).
#include <windows.h>

#include <functional>

namespace util {

// The last modifier key pressed; the values are the virtual-key codes of the generic keys.
enum class Modifier { kNone = 0, kShift = 16, kCtrl = 17, kAlt = 18, kWindows = 91 };
enum class KeyAction { kNone = 0, kPress = 1, kRelease = 2 };

struct KeyEvent {
  Modifier modifier = Modifier::kNone;  // as remembered at the time of the event
  int key = 0;                          // virtual-key code
  KeyAction action = KeyAction::kNone;
};

enum class MouseButton { kNone = 0, kLeft = 1, kRight = 2, kMiddle = 3, kWheel = 4, kExtra2 = 5, kExtra1 = 6 };
enum class MouseAction {
  kNone = 0,
  kPress = 1,
  kRelease = 2,
  kDoubleClick = 3,
  kWheelForward = 4,   // away from the user
  kWheelBackward = 5,
};

struct MouseEvent {
  HWND windowUnderPointer = nullptr;  // WindowFromPoint at the event's point; never owned
  POINT point{};                      // screen coordinates
  MouseButton button = MouseButton::kNone;
  MouseAction action = MouseAction::kNone;
};

using KeyboardHookHandler = std::function<void(const KeyEvent&)>;
using MouseHookHandler = std::function<void(const MouseEvent&)>;

void InstallKeyboardHook(KeyboardHookHandler handler);  // ignored when installed
void InstallMouseHook(MouseHookHandler handler);        // ignored when installed
// True when the hook was removed; a later install then installs again.
bool RemoveKeyboardHook();
bool RemoveMouseHook();

// Pure mappings, exposed for tests.
// What one low-level keyboard event does: the new modifier, and whether the handler is
// called (report) with which action. Flags below 35 press, above 127 release, anything
// between (an injected key while Alt is held, for one) is ignored.
struct KeyboardEventValues {
  bool report;
  Modifier modifier;
  KeyAction action;
};
KeyboardEventValues StepKeyboardState(Modifier currentModifier, unsigned key, unsigned flags);
struct MouseEventValues {
  MouseButton button;
  MouseAction action;
};
MouseEventValues MapMouseMessage(unsigned message, unsigned mouseData);

}  // namespace util
