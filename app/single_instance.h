#pragma once
#include "util/text.h"
namespace app {
// Returns only in the first instance; a second instance's process ends here.
void EnsureSingleInstance(const Text& name);
// The event name the guard uses for `name`: the MD5 of its bytes, or of the fixed
// fallback text when the name is empty or its digest fails; empty when both fail.
Text InstanceEventName(const Text& name);
}  // namespace app
