#include "host/registry.h"
namespace host {
// Not built yet: no tabs, no host panes.
std::vector<TabPtr> InstanceRegistry::Tabs() const { std::lock_guard<std::mutex> l(listLock); return tabs; }
std::vector<HWND> InstanceRegistry::HostedWindows() const { std::lock_guard<std::mutex> l(listLock); return hostedWindows; }
InstanceRegistry& Registry() { static InstanceRegistry r; return r; }
void OnHostWindowCreated(int) {}
void CreateTab() {}
void DestroyPendingTab() {}
void RequestNewTab() {}
void RequestTabDestruction(int) {}
void ShowEmptyStateHint(bool) {}
}  // namespace host
