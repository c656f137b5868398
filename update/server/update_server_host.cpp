// Compiled once per server variant; the build passes the host as UPDATE_SERVER_HOST.
#include "update/update_server.h"

namespace update {
Text UpdateServerHost() { return UPDATE_SERVER_HOST; }
}  // namespace update
