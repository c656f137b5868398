// Detached worker threads running a procedure with five integer arguments.
#include "util/worker_thread.h"

#include <windows.h>

#include <new>

#include "util/unique_resource.h"

namespace util {
namespace {

struct WorkerStart {
  WorkerProcedure procedure;
  std::int32_t a1, a2, a3, a4, a5;
};

DWORD WINAPI WorkerEntry(LPVOID parameter) noexcept {
  WorkerStart* start = static_cast<WorkerStart*>(parameter);
  const WorkerStart copy = *start;
  delete start;
  try {
    copy.procedure(copy.a1, copy.a2, copy.a3, copy.a4, copy.a5);
  } catch (...) {
    // Nothing may leave a thread entry; the worker simply ends.
  }
  return 0;
}

}  // namespace

bool StartWorkerThread(WorkerProcedure procedure, std::int32_t a1, std::int32_t a2,
                       std::int32_t a3, std::int32_t a4, std::int32_t a5) {
  if (!procedure) return false;
  // The thread owns its own copy of the arguments from here on.
  WorkerStart* start = new (std::nothrow) WorkerStart{procedure, a1, a2, a3, a4, a5};
  if (!start) return false;
  UniqueHandle thread(::CreateThread(nullptr, 0, WorkerEntry, start, 0, nullptr));
  if (!thread) {
    delete start;
    return false;
  }
  return true;  // the handle closes here: the thread runs on, detached
}

}  // namespace util
