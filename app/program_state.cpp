#include "app/program_state.h"

#include <windows.h>

#include <mutex>
#include <utility>

#include "app/program_path.h"
#include "host/registry.h"
#include "util/log.h"

namespace {
constexpr std::size_t kLongestPathChars = 32768;  // the system's limit for a module path
}  // namespace

ProgramState& Program() {
  static ProgramState state;
  return state;
}

void InitialiseProgramState() { Program() = ProgramState(); }

void ReleaseProgramState() {
  ProgramState& state = Program();
  Text().swap(state.ContactText);
  Text().swap(state.LinkAddress);
  // The registry's lists go with it; the tabs are released outside the lock because
  // destroying a control waits for the user-interface thread.
  host::InstanceRegistry& registry = host::Registry();
  std::vector<host::TabPtr> tabs;
  {
    std::lock_guard<std::mutex> lock(registry.listLock);
    tabs.swap(registry.tabs);
    std::vector<HWND>().swap(registry.hostedWindows);
  }
  tabs.clear();
}

Text ProgramDirectory() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    DWORD got = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (got == 0) {
      util::LogLastError("GetModuleFileNameA");
      return Text();
    }
    if (got < buffer.size()) return DirectoryOfPath(Text(buffer.data(), got));
    if (buffer.size() >= kLongestPathChars) {
      util::LogError("the program's path is longer than %u characters", static_cast<unsigned>(kLongestPathChars));
      return Text();
    }
    buffer.resize(buffer.size() * 2);
  }
}
