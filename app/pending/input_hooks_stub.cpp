#include "util/input_hooks.h"
namespace util {
// Not built yet (common utilities): no hook is installed.
void InstallKeyboardHook(KeyboardHookHandler) {}
void InstallMouseHook(MouseHookHandler) {}
bool RemoveMouseHook() { return false; }
}  // namespace util
