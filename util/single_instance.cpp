#include "util/single_instance.h"

#include <windows.h>

#include "util/log.h"
#include "util/md5.h"

namespace util {
namespace {

constexpr char kFallbackName[] = "你懒得输入，我就写死，略略";

// Kept open while the program runs; closed only on the way out.
HANDLE instanceEvent = nullptr;

}  // namespace

Text InstanceEventName(const Text& name) {
  Text eventName = name.empty() ? Text() : Md5Hex(name);
  if (eventName.empty()) eventName = Md5Hex(Text(kFallbackName));
  return eventName;
}

bool ClaimSingleInstance(const Text& name) {
  const Text eventName = InstanceEventName(name);
  if (eventName.empty()) LogWarning("no digest for the instance name: every copy may run");
  const char* objectName = eventName.empty() ? nullptr : eventName.c_str();
  // One step: creating an event whose name exists opens that event and says so, so of two
  // copies started at the same instant exactly one creates it.
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, objectName);
  if (!event) {
    // Not ours to tell apart from a working guard (for instance the name is held by
    // another user's object we may not open): as before, this copy runs unguarded.
    LogLastError("CreateEventA");
    return true;
  }
  if (objectName && GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(event);
    LogInfo("another instance holds %s", objectName);
    return false;
  }
  instanceEvent = event;
  return true;
}

void ReleaseSingleInstance() {
  if (instanceEvent == nullptr) return;
  if (!CloseHandle(instanceEvent)) LogLastError("CloseHandle(instance event)");
  instanceEvent = nullptr;
}

}  // namespace util
