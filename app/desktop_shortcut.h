#pragma once
#include "util/text.h"
namespace app {
void OfferDesktopShortcut();
}  // namespace app
