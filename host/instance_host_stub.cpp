#include "host/instance_host.h"
namespace host {
// Not built yet: nothing is launched or adopted.
void LaunchWorker(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t) {}
void StartInstanceHost() {}
void RunMonitor() {}
void AdoptionCycle() {}
void RemoveInstance(int) {}
void OnTabClick(form::PictureBox&) {}
void PaneMouseGuard(int, int, const Text&) {}
void AltAKeyHandler(int, int, int) {}
void OnMainWindowMoved() {}
}  // namespace host
