#pragma once
// Program-wide state, created before any window and released at a normal end.
#include "util/text.h"

struct ProgramState {
  Text ContactText;
  Text LinkAddress;
  int paneWidth = 0;
  int paneHeight = 0;
  int stripWidth = 0;
};

ProgramState& Program();
void InitialiseProgramState();
void ReleaseProgramState();

// The directory of the running executable, without a trailing backslash.
Text ProgramDirectory();
