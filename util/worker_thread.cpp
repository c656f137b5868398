// Detached worker threads.
#include "util/worker_thread.h"

#include <windows.h>

#include <new>

#include "util/log.h"
#include "util/unique_resource.h"

namespace util {
namespace {

struct WorkerStart {
  std::function<void()> work;
  const char* name;
};

DWORD WINAPI WorkerEntry(LPVOID parameter) noexcept {
  WorkerStart* start = static_cast<WorkerStart*>(parameter);
  const char* name = start->name;
  try {
    start->work();
  } catch (...) {
    LogCaughtException(name);
  }
  delete start;
  return 0;
}

}  // namespace

bool StartWorkerThread(std::function<void()> work, const char* name) {
  if (!work) return false;
  // The thread owns the work from here on.
  WorkerStart* start = new (std::nothrow) WorkerStart{std::move(work), name ? name : "worker"};
  if (!start) {
    LogError("no memory to start the %s thread", name);
    return false;
  }
  UniqueHandle thread(::CreateThread(nullptr, 0, WorkerEntry, start, 0, nullptr));
  if (!thread) {
    LogLastError("CreateThread");
    delete start;
    return false;
  }
  return true;  // the handle closes here: the thread runs on, detached
}

}  // namespace util
