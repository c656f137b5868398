#pragma once
#include "util/text.h"

namespace update {
// Host (optionally ":port") of the update server, fixed when the program is built
// (CMake cache variable UPDATE_SERVER_HOST). Test builds link a loopback variant.
Text UpdateServerHost();
}  // namespace update
