#pragma once
#include "util/text.h"

namespace updater {
// The program named in directory\sdhwt.ini ([tysj] yxmc), as a path that exists, taken as
// ANSI first and then as UTF-8; empty when neither exists or the name would leave the directory.
Text RestartProgramPath(const Text& directory);
// Opens that program with the shell's "open" verb in a normal window, if there is one.
void RestartMainProgram(const Text& directory);
}  // namespace updater
