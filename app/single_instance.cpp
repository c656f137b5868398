// One copy per session: a named event whose name is the MD5 of the window title.
#include "app/single_instance.h"

#include <windows.h>

#include "app/end_program.h"
#include "util/log.h"
#include "util/md5.h"

namespace app {
namespace {

constexpr char kFallbackName[] = "你懒得输入，我就写死，略略";

// Never closed: the event must exist exactly as long as this process runs.
HANDLE instanceEvent = nullptr;

}  // namespace

Text InstanceEventName(const Text& name) {
  Text eventName = name.empty() ? Text() : util::Md5Hex(name);
  if (eventName.empty()) eventName = util::Md5Hex(Text(kFallbackName));
  return eventName;
}

void EnsureSingleInstance(const Text& name) {
  const Text eventName = InstanceEventName(name);
  // With no digest at all there is no name: the event is unnamed and every copy passes.
  const char* objectName = eventName.empty() ? nullptr : eventName.c_str();
  HANDLE other = objectName ? OpenEventA(EVENT_ALL_ACCESS, FALSE, objectName) : nullptr;
  if (other) {
    // Another instance holds the name: leave silently, touching nothing of it.
    CloseHandle(other);
    EndProgram(ExitReason::kSecondInstance);
  }
  // Open and create are two steps; two copies started at the same instant may both run.
  instanceEvent = CreateEventA(nullptr, FALSE, FALSE, objectName);
  if (!instanceEvent) util::LogLastError("CreateEventA(single-instance event): running without a guard");
}

}  // namespace app
