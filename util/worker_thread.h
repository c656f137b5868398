#pragma once
#include <cstdint>

namespace util {
using WorkerProcedure = void (*)(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t);
// Starts a detached thread running procedure(a1..a5); the arguments are copied first.
// Returns false if the thread could not be started.
bool StartWorkerThread(WorkerProcedure procedure, std::int32_t a1 = 0, std::int32_t a2 = 0,
                       std::int32_t a3 = 0, std::int32_t a4 = 0, std::int32_t a5 = 0);
}  // namespace util
