#pragma once

namespace util {
// Waits while keeping this thread's window messages flowing (waitable timer +
// MsgWaitForMultipleObjects); never spins. Always true.
bool Delay(int milliseconds);
// Handles every pending message of the calling thread.
void ProcessPendingMessages();
}  // namespace util
