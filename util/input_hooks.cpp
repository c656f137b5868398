// Low-level keyboard and mouse hooks: raw events become a few plain values for one
// handler each, and every event is passed on.
#include "util/input_hooks.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>

#include "util/unique_resource.h"

namespace util {
namespace {

// Hook state. The procedures run on the installing thread while it takes messages, one
// event at a time, so no lock is needed.
UniqueHook keyboardHook;
KeyboardHookHandler keyboardHandler = nullptr;
int currentModifier = 0;  // CurrentModifier: last modifier pressed (0, 16, 17, 18, 91)

UniqueHook mouseHook;
MouseHookHandler mouseHandler = nullptr;

int ModifierOfKey(unsigned key) {
  switch (key) {
    case VK_LSHIFT: case VK_RSHIFT: return 16;
    case VK_LCONTROL: case VK_RCONTROL: return 17;
    case VK_LMENU: case VK_RMENU: return 18;
    case VK_LWIN: case VK_RWIN: return 91;
    default: return 0;
  }
}

long long SignedHandle(HWND window) {
  // Handles travel as signed 32-bit values.
  return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(window));
}

LRESULT CALLBACK KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam) noexcept {
  if (code == HC_ACTION) {
    const KBDLLHOOKSTRUCT* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    const KeyboardEventValues values =
        StepKeyboardState(currentModifier, event->vkCode, event->flags);
    currentModifier = values.modifier;
    if (values.report && keyboardHandler) {
      try {
        keyboardHandler(values.modifier, static_cast<int>(event->vkCode), values.action);
      } catch (...) {
        // A handler fault must not keep the event from the rest of the system.
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
        const HWND under = ::WindowFromPoint(event->pt);
        mouseHandler(values.button, values.action,
                     MakePointText(SignedHandle(under), event->pt.x, event->pt.y));
      } catch (...) {
        // As above: the event is passed on whatever the handler did.
      }
    }
  }
  return ::CallNextHookEx(mouseHook.get(), code, wParam, lParam);
}

}  // namespace

KeyboardEventValues StepKeyboardState(int modifier, unsigned key, unsigned flags) {
  const int keyModifier = ModifierOfKey(key);
  if (flags < 35) {
    if (keyModifier != 0) modifier = keyModifier;
    return {true, modifier, 1};
  }
  if (flags > 127) {
    if (keyModifier != 0) modifier = 0;
    return {true, modifier, 2};
  }
  return {false, modifier, 0};
}

MouseEventValues MapMouseMessage(unsigned message, unsigned mouseData) {
  const short high = static_cast<short>(HIWORD(mouseData));
  switch (message) {
    case WM_LBUTTONDOWN: return {1, 1};
    case WM_LBUTTONUP: return {1, 2};
    case WM_LBUTTONDBLCLK: return {1, 3};
    case WM_RBUTTONDOWN: return {2, 1};
    case WM_RBUTTONUP: return {2, 2};
    case WM_RBUTTONDBLCLK: return {2, 3};
    case WM_MBUTTONDOWN: return {3, 1};
    case WM_MBUTTONUP: return {3, 2};
    case WM_MBUTTONDBLCLK: return {3, 3};
    case WM_MOUSEWHEEL:
      if (high > 0) return {4, 4};
      if (high < 0) return {4, 5};
      return {0, 0};
    case WM_XBUTTONDOWN:
    case WM_XBUTTONUP: {
      const int action = message == WM_XBUTTONDOWN ? 1 : 2;
      if (high == XBUTTON2) return {5, action};
      if (high == XBUTTON1) return {6, action};
      return {0, 0};
    }
    default: return {0, 0};
  }
}

Text MakePointText(long long window, int x, int y) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%lld|%d,%d", window, x, y);
  return buffer;
}

void InstallKeyboardHook(KeyboardHookHandler handler) {
  if (keyboardHook) return;
  keyboardHandler = handler;
  keyboardHook.reset(::SetWindowsHookExA(WH_KEYBOARD_LL, KeyboardHookProc,
                                         ::GetModuleHandleA(nullptr), 0));
}

void InstallMouseHook(MouseHookHandler handler) {
  if (mouseHook) return;
  mouseHandler = handler;
  mouseHook.reset(::SetWindowsHookExA(WH_MOUSE_LL, MouseHookProc,
                                      ::GetModuleHandleA(nullptr), 0));
}

bool RemoveMouseHook() {
  if (!mouseHook) return false;
  if (!::UnhookWindowsHookEx(mouseHook.get())) return false;
  mouseHook.release();  // already unhooked; a later install starts afresh
  return true;
}

}  // namespace util
