#pragma once
// One copy per name and session: a named event held for the life of the process.
#include "util/text.h"

namespace util {

// The event name for `name`: the MD5 of its bytes, or of the fixed fallback text when the
// name is empty or its digest fails; empty when both fail.
Text InstanceEventName(const Text& name);

// True in the first instance: the event named after `name` is created and kept open until
// the process ends. False when another holder has it (the caller then leaves, touching
// nothing). Call it once per process: a second call sees the event of the first.
// Of two copies started at the same instant exactly one passes; with no digest at all the
// event is unnamed and every copy passes.
bool ClaimSingleInstance(const Text& name);

// Closes the claimed event before the process ends: on the way out, a new copy must be
// able to start while this one still waits for its last duties. Nothing when none is held.
void ReleaseSingleInstance();

}  // namespace util
