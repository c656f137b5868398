#include "host/instance_host.h"
namespace host {
// Not built yet: hosted windows are not handed back.
void ReleaseHostedWindows() {}
}  // namespace host
