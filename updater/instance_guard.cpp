// Same rule as the main program's guard; the updater carries its own copy so that it needs
// nothing of the main program.
#include "updater/instance_guard.h"

#include <windows.h>

#include "util/md5.h"

namespace updater {

void EnsureSingleInstance(const Text& title) {
  Text name = title.empty() ? Text() : util::Md5Hex(title);
  if (name.empty()) name = util::Md5Hex(Text("你懒得输入，我就写死，略略"));
  if (::OpenEventA(EVENT_ALL_ACCESS, FALSE, name.c_str())) ::TerminateProcess(::GetCurrentProcess(), 0);
  // Kept open for the life of the process: the name exists exactly as long as we run.
  ::CreateEventA(nullptr, FALSE, FALSE, name.c_str());
}

}  // namespace updater
