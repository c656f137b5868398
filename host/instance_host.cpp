// The host's life: the first tab, the set-up of the panes and the monitor, and the end.
#include "host/instance_host.h"

#include <utility>

#include "util/log.h"

namespace host {

InstanceHost::InstanceHost(ForeignWindows& windows, HostView& view, HostSettings settings)
    : windows_(windows), view_(view), settings_(std::move(settings)) {}

InstanceHost::~InstanceHost() { monitor_.Stop(); }

void InstanceHost::Render() { view_.Render(model_.Snapshot()); }

void InstanceHost::CreateFirstTab() {
  if (model_.AppendTab()) Render();
}

void InstanceHost::Start() {
  view_.LoadPanes();
  const HostTimings& t = settings_.timings;
  const bool started = monitor_.Start(
      t.panesSettleMs,
      [this] {
        model_.SetAllTabsEnabled(true);
        Render();
      },
      [this] { RunCycle(); }, t.cyclePauseMs);
  if (started) {
    util::LogInfo("host: panes loaded, monitor started");
    // A logged-in window is taken at once instead of at the next poll.
    if (windows_.WatchClientWindows([this] { monitor_.Wake(); })) {
      util::LogInfo("host: client windows wake the monitor as they appear");
    } else {
      util::LogInfo("host: no word of client windows from the system; the poll finds them");
    }
  } else {
    util::LogWarning("host: the monitor did not start");
  }
}

void InstanceHost::StopAdoption() { monitor_.Stop(); }

void InstanceHost::ForgetInstances() { model_.Forget(); }

}  // namespace host
