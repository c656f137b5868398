#include "app/program_state.h"

#include <windows.h>

#include <mutex>
#include <utility>

#include "host/registry.h"
#include "util/program_directory.h"

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

Text ProgramDirectory() { return util::ProgramDirectory(); }
