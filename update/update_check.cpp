#include "update/update_check.h"
namespace update {
// Not built yet: nothing is ever due.
void CheckForUpdates() {}
}  // namespace update
