#pragma once
// Starting another program.
#include "util/text.h"

namespace util {

// CreateProcessA in a normal window (STARTF_USESHOWWINDOW, SW_SHOWNORMAL). applicationName
// may be empty: the program is then the first token of commandLine, as CreateProcess reads
// it. Waits up to inputIdleWaitMs for the new program to be ready for input, so a window it
// opens can be found at once; a program that never gets there costs that wait, no more.
// Keeps no handle of it. False, logged with the system's error, when it could not start.
bool StartProgram(const Text& applicationName, const Text& commandLine, unsigned inputIdleWaitMs);

}  // namespace util
