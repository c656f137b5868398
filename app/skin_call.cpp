#include "app/skin_call.h"
namespace app {
// Not built yet: windows stay unskinned.
void ApplySkin(const Text&, const Text&) {}
}  // namespace app
