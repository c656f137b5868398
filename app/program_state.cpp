#include "app/program_state.h"

#include <windows.h>

#include <vector>

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
}

Text ProgramDirectory() { return util::ProgramDirectory(); }
