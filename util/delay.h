#pragma once

#include <functional>

namespace util {
// Waits while keeping this thread's window messages flowing (waitable timer +
// MsgWaitForMultipleObjects); never spins. Always true.
bool Delay(int milliseconds);
// Handles every pending message of the calling thread.
void ProcessPendingMessages();
// Runs work on a worker thread and waits for it while this thread keeps handling sent
// messages (low-level hook calls among them), posted messages, timers and paints. Keyboard
// and mouse input for this thread's windows stays queued until the caller takes messages
// again, as it would behind a blocking call. `name` says in the log what ran. False when no
// worker could be started: work then ran on the calling thread (logged).
bool RunOnWorkerWhilePumping(const std::function<void()>& work, const char* name);
}  // namespace util
