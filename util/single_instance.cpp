#include "util/single_instance.h"

#include <windows.h>

#include "util/log.h"
#include "util/md5.h"

namespace util {
namespace {

constexpr char kFallbackName[] = "你懒得输入，我就写死，略略";

// Never closed: the name must exist exactly as long as this process runs.
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
  if (objectName) {
    HANDLE other = OpenEventA(EVENT_ALL_ACCESS, FALSE, objectName);
    if (other) {
      CloseHandle(other);
      LogInfo("another instance holds %s", objectName);
      return false;
    }
  }
  instanceEvent = CreateEventA(nullptr, FALSE, FALSE, objectName);
  if (!instanceEvent) LogLastError("CreateEventA");
  return true;
}

}  // namespace util
