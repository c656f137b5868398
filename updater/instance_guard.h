#pragma once
#include "util/text.h"

namespace updater {
// The single-instance guard the main program uses, for the updater: the named event is the
// MD5 of the title's bytes. Returns in the first instance; a second one's process ends here.
void EnsureSingleInstance(const Text& title);
}  // namespace updater
