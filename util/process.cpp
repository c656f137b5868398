#include "util/process.h"

#include <windows.h>

#include <vector>

#include "util/log.h"
#include "util/unique_resource.h"

namespace util {

bool StartProgram(const Text& applicationName, const Text& commandLine, unsigned inputIdleWaitMs) {
  // CreateProcessA may write into the command line: give it a private copy.
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION created{};
  if (!CreateProcessA(applicationName.empty() ? nullptr : applicationName.c_str(), line.data(), nullptr,
                      nullptr, FALSE, 0, nullptr, nullptr, &startup, &created)) {
    LogLastError("CreateProcessA");
    LogWarning("could not start %s", applicationName.empty() ? commandLine.c_str() : applicationName.c_str());
    return false;
  }
  UniqueHandle process(created.hProcess);
  UniqueHandle thread(created.hThread);
  Log(LogLevel::kDebug, "started process %lu: %s", created.dwProcessId,
      applicationName.empty() ? commandLine.c_str() : applicationName.c_str());
  // WAIT_FAILED also answers for a program without a message queue (a console program):
  // nothing to wait for then. (Wine 8 leaves one event handle open in our process per call,
  // the started program's idle event; Windows does not. The soak allows for it.)
  if (WaitForInputIdle(process.get(), inputIdleWaitMs) == WAIT_FAILED) LogLastError("WaitForInputIdle");
  return true;
}

}  // namespace util
