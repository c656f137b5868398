#include "tests/support/test_support.h"

namespace support {
namespace {
void PumpPending() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}
}  // namespace

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    PumpPending();
    if (condition()) return true;
    ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    DWORD wait = static_cast<DWORD>(deadline - now < pollMs ? deadline - now : pollMs);
    // Wakes early for a message, so windows of this thread stay responsive while we wait.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
  }
}

void PumpMessagesFor(DWORD ms) {
  WaitFor([] { return false; }, ms);
}

}  // namespace support
