#pragma once
#include <cstdint>
#include <functional>

namespace util {
// Starts a detached thread running work; `name` says in the log what failed. Nothing thrown
// by work leaves the thread (it is logged). Returns false if the thread could not be started.
bool StartWorkerThread(std::function<void()> work, const char* name = "worker");
}  // namespace util
