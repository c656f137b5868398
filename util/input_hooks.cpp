// Low-level keyboard and mouse hooks: raw events become a few plain values for one
// handler each, and every event is passed on.
#include "util/input_hooks.h"

#include <windows.h>

#include "util/log.h"
#include "util/unique_resource.h"

namespace util {
namespace {

// Hook state. The procedures run on the installing thread while it takes messages, one
// event at a time, so no lock is needed.
UniqueHook keyboardHook;
KeyboardHookHandler keyboardHandler;
Modifier currentModifier = Modifier::kNone;  // the last modifier pressed

UniqueHook mouseHook;
MouseHookHandler mouseHandler;

Modifier ModifierOfKey(unsigned key) {
  switch (key) {
    case VK_LSHIFT: case VK_RSHIFT: return Modifier::kShift;
    case VK_LCONTROL: case VK_RCONTROL: return Modifier::kCtrl;
    case VK_LMENU: case VK_RMENU: return Modifier::kAlt;
    case VK_LWIN: case VK_RWIN: return Modifier::kWindows;
    default: return Modifier::kNone;
  }
}

LRESULT CALLBACK KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam) noexcept {
  if (code == HC_ACTION) {
    const KBDLLHOOKSTRUCT* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    const KeyboardEventValues values =
        StepKeyboardState(currentModifier, event->vkCode, event->flags);
    currentModifier = values.modifier;
    if (values.report && keyboardHandler) {
      try {
        keyboardHandler(KeyEvent{values.modifier, static_cast<int>(event->vkCode), values.action});
      } catch (...) {
        // A handler fault must not keep the event from the rest of the system.
        LogCaughtException("keyboard hook handler");
      }
    }
  }
  return ::CallNextHookEx(keyboardHook.get(), code, wParam, lParam);
}

LRESULT CALLBACK MouseHookProc(int code, WPARAM wParam, LPARAM lParam) noexcept {
  if (code >= 0) {
    const MSLLHOOKSTRUCT* event = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
    const MouseEventValues values =
        MapMouseMessage(static_cast<unsigned>(wParam), static_cast<unsigned>(event->mouseData));
    if (mouseHandler) {
      try {
        mouseHandler(MouseEvent{::WindowFromPoint(event->pt), event->pt, values.button, values.action});
      } catch (...) {
        // As above: the event is passed on whatever the handler did.
        LogCaughtException("mouse hook handler");
      }
    }
  }
  return ::CallNextHookEx(mouseHook.get(), code, wParam, lParam);
}

}  // namespace

KeyboardEventValues StepKeyboardState(Modifier modifier, unsigned key, unsigned flags) {
  const Modifier keyModifier = ModifierOfKey(key);
  if (flags < 35) {
    if (keyModifier != Modifier::kNone) modifier = keyModifier;
    return {true, modifier, KeyAction::kPress};
  }
  if (flags > 127) {
    if (keyModifier != Modifier::kNone) modifier = Modifier::kNone;
    return {true, modifier, KeyAction::kRelease};
  }
  return {false, modifier, KeyAction::kNone};
}

MouseEventValues MapMouseMessage(unsigned message, unsigned mouseData) {
  using B = MouseButton;
  using A = MouseAction;
  const short high = static_cast<short>(HIWORD(mouseData));
  switch (message) {
    case WM_LBUTTONDOWN: return {B::kLeft, A::kPress};
    case WM_LBUTTONUP: return {B::kLeft, A::kRelease};
    case WM_LBUTTONDBLCLK: return {B::kLeft, A::kDoubleClick};
    case WM_RBUTTONDOWN: return {B::kRight, A::kPress};
    case WM_RBUTTONUP: return {B::kRight, A::kRelease};
    case WM_RBUTTONDBLCLK: return {B::kRight, A::kDoubleClick};
    case WM_MBUTTONDOWN: return {B::kMiddle, A::kPress};
    case WM_MBUTTONUP: return {B::kMiddle, A::kRelease};
    case WM_MBUTTONDBLCLK: return {B::kMiddle, A::kDoubleClick};
    case WM_MOUSEWHEEL:
      if (high > 0) return {B::kWheel, A::kWheelForward};
      if (high < 0) return {B::kWheel, A::kWheelBackward};
      return {B::kNone, A::kNone};
    case WM_XBUTTONDOWN:
    case WM_XBUTTONUP: {
      const A action = message == WM_XBUTTONDOWN ? A::kPress : A::kRelease;
      if (high == XBUTTON2) return {B::kExtra2, action};
      if (high == XBUTTON1) return {B::kExtra1, action};
      return {B::kNone, A::kNone};
    }
    default: return {B::kNone, A::kNone};
  }
}

void InstallKeyboardHook(KeyboardHookHandler handler) {
  if (keyboardHook) return;
  keyboardHandler = std::move(handler);
  keyboardHook.reset(::SetWindowsHookExA(WH_KEYBOARD_LL, KeyboardHookProc,
                                         ::GetModuleHandleA(nullptr), 0));
  if (!keyboardHook) LogLastError("SetWindowsHookExA(WH_KEYBOARD_LL)");
}

void InstallMouseHook(MouseHookHandler handler) {
  if (mouseHook) return;
  mouseHandler = std::move(handler);
  mouseHook.reset(::SetWindowsHookExA(WH_MOUSE_LL, MouseHookProc,
                                      ::GetModuleHandleA(nullptr), 0));
  if (!mouseHook) LogLastError("SetWindowsHookExA(WH_MOUSE_LL)");
}

namespace {
bool RemoveHook(UniqueHook& hook) {
  if (!hook) return false;
  if (!::UnhookWindowsHookEx(hook.get())) {
    LogLastError("UnhookWindowsHookEx");
    return false;
  }
  hook.release();  // already unhooked; a later install starts afresh
  return true;
}
}  // namespace

bool RemoveKeyboardHook() { return RemoveHook(keyboardHook); }
bool RemoveMouseHook() { return RemoveHook(mouseHook); }

}  // namespace util
