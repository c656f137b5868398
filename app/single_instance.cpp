// One copy per session: a named event whose name is the MD5 of the window title.
#include "app/single_instance.h"

#include "app/end_program.h"
#include "util/single_instance.h"

namespace app {

void EnsureSingleInstance(const Text& name) {
  // Another instance holds the name: leave silently, touching nothing of it.
  if (!util::ClaimSingleInstance(name)) EndProgram(ExitReason::kSecondInstance);
}

}  // namespace app
