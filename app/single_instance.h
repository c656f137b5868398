#pragma once
#include "util/text.h"
namespace app {
// Returns only in the first instance; a second instance's process ends here.
void EnsureSingleInstance(const Text& name);
}  // namespace app
