#pragma once
#include "util/text.h"

namespace update {
// Host (optionally ":port") of the update server, fixed when the program is built
// (CMake cache variable UPDATE_SERVER_HOST). Test builds link a loopback variant.
Text UpdateServerHost();
// The PEM public key whose private half signs the server's manifest (CMake settings
// UPDATE_PUBLIC_KEY / UPDATE_SIGNING_KEY, or the build's development key). Test builds
// link the development key whatever the settings.
Text UpdatePublicKeyPem();
}  // namespace update
