#include "app/program_state.h"

#include <windows.h>

#include <vector>

#include "app/program_path.h"

ProgramState& Program() {
  static ProgramState state;
  return state;
}

void InitialiseProgramState() { Program() = ProgramState(); }

void ReleaseProgramState() {
  ProgramState& state = Program();
  Text().swap(state.ContactText);
  Text().swap(state.LinkAddress);
}

Text ProgramDirectory() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    DWORD got = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (got == 0) return Text();
    if (got < buffer.size()) return DirectoryOfPath(Text(buffer.data(), got));
    if (buffer.size() >= 32768) return Text();
    buffer.resize(buffer.size() * 2);
  }
}
