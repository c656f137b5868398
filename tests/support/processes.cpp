#include <vector>

#include "tests/support/test_support.h"

namespace support {

Process StartProcess(const std::string& commandLine, const std::string& currentDirectory) {
  Process process;
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      currentDirectory.empty() ? nullptr : currentDirectory.c_str(), &si, &pi))
    return process;
  CloseHandle(pi.hThread);
  process.handle.reset(pi.hProcess);
  process.id = pi.dwProcessId;
  return process;
}

bool WaitForExit(const Process& process, DWORD timeoutMs, DWORD* exitCode) {
  if (!process) return false;
  if (WaitForSingleObject(process.handle.get(), timeoutMs) != WAIT_OBJECT_0) return false;
  DWORD code = 0;
  if (!GetExitCodeProcess(process.handle.get(), &code)) return false;
  if (exitCode) *exitCode = code;
  return true;
}

void EndProcessAndWait(Process& process, DWORD timeoutMs) {
  if (!process) return;
  if (WaitForSingleObject(process.handle.get(), 0) == WAIT_TIMEOUT) {
    TerminateProcess(process.handle.get(), 1);
    WaitForSingleObject(process.handle.get(), timeoutMs);
  }
}

long long RunProcess(const std::string& commandLine, DWORD timeoutMs, const std::string& currentDirectory) {
  Process process = StartProcess(commandLine, currentDirectory);
  if (!process) return -1;
  DWORD code = 0;
  if (!WaitForExit(process, timeoutMs, &code)) {
    EndProcessAndWait(process);
    return -1;
  }
  return code;
}

}  // namespace support
