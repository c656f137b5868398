#include "app/desktop_shortcut.h"
namespace app {
// Not built yet: no question is asked.
void OfferDesktopShortcut() {}
}  // namespace app
