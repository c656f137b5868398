#include "host/host_bookkeeping.h"

#include <string>

namespace host {
namespace {
constexpr int kTabHeight = 80;
constexpr int kTabTopMargin = 2;
}  // namespace

int TabTop(int position) { return (position - 1) * kTabHeight + kTabTopMargin; }

Text TabTag(int position) { return std::to_string(position); }

bool InButtonBand(int x, int y, int paneWidth) {
  return x >= paneWidth - 149 && x <= paneWidth - 34 && y <= 30;
}

bool InCloseBox(int x, int y, int paneWidth) { return x > paneWidth - 32 && y < 25; }

MouseGuardDecision DecideMouseGuard(std::int32_t currentWindow, std::int32_t windowUnderPointer,
                                    std::int32_t currentParent, bool currentDisabled, int button,
                                    int action, int x, int y, int paneWidth) {
  MouseGuardDecision d;
  if (currentWindow <= 0) return d;
  const bool overCurrent = windowUnderPointer == currentWindow ||
                           (currentDisabled && currentParent > 0 && windowUnderPointer == currentParent);
  if (!overCurrent) return d;
  d.act = true;
  d.disable = InButtonBand(x, y, paneWidth);
  d.endProcess = button == 1 && action == 1 && InCloseBox(x, y, paneWidth);
  return d;
}

TabClickAction DecideTabClick(bool tabIsSelected, int k, int hostedWindowCount, int hostedCount) {
  if (tabIsSelected) return TabClickAction::kNothing;
  // Counting the windows themselves: during an adoption hostedCount is raised before the
  // window is appended, and such a click must not select a pane without a window.
  if (k >= 1 && k <= hostedWindowCount) return TabClickAction::kSelectPane;
  if (hostedCount < kMaxInstances) return TabClickAction::kLaunch;
  return TabClickAction::kRefuseLaunch;
}

AltAAction DecideAltA(int hostedCount, const util::KeyEvent& event) {
  if (hostedCount <= 0 || event.modifier != util::Modifier::kAlt || event.key != 'A') return AltAAction::kNothing;
  if (event.action == util::KeyAction::kPress) return AltAAction::kHide;
  if (event.action == util::KeyAction::kRelease) return AltAAction::kShow;
  return AltAAction::kNothing;
}

Text RouteToWrite(const Text& stored, const Text& found) {
  if (found.empty() || found == stored) return Text();
  return found;
}

Text LaunchPath(const Text& stored, const Text& defaultPath) {
  return stored.empty() ? defaultPath : stored;
}

RemovalPlan PlanRemoval(int tabsBefore, int removed) {
  RemovalPlan plan;
  const int tabsAfter = removed >= 1 && removed <= tabsBefore ? tabsBefore - 1 : tabsBefore;
  for (int j = 1; j <= tabsAfter; ++j) plan.tabs.push_back({TabTag(j), TabTop(j)});
  plan.panesLeft = tabsAfter > 1;
  return plan;
}

bool NeedsAddTab(int hostedCount, int tabCount) {
  return hostedCount < kMaxInstances && tabCount == hostedCount;
}

bool TrimIsDue(bool trimmedOnce, bool changedSinceTrim, unsigned long sinceLastTrimMs, unsigned long intervalMs) {
  return !trimmedOnce || changedSinceTrim || sinceLastTrimMs >= intervalMs;
}

}  // namespace host
