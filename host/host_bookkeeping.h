#pragma once
// Pure decisions of the instance host: tab places, the pointer guard's areas, what a tab
// click or Alt+A means, where windows go when an instance is removed, and whether the
// remembered client path changes. Plain values in, plain values out.
#include <cstdint>
#include <vector>

#include "util/input_hooks.h"
#include "util/text.h"

namespace host {

constexpr int kMaxInstances = 6;  // six host panes, nothing hosted beyond them
constexpr std::uint32_t kTabSelected = 3026478;    // RGB 46,46,46
constexpr std::uint32_t kTabUnselected = 8421504;  // RGB 128,128,128
constexpr int kLoginWindowX = 380;
constexpr int kLoginWindowY = 76;
constexpr int kPaneLeft = 82;  // right of the tab strip

// The top of the tab at position n: (n - 1) * 80 + 2.
int TabTop(int position);
// The tag a tab at position n carries: n as decimal text.
Text TabTag(int position);

// Pointer offsets are relative to the current client window's top-left corner.
// Button band: paneWidth - 149 <= x <= paneWidth - 34 and y <= 30.
bool InButtonBand(int x, int y, int paneWidth);
// Close box: x > paneWidth - 32 and y < 25.
bool InCloseBox(int x, int y, int paneWidth);

struct MouseGuardDecision {
  bool act = false;          // the event is over the current window
  bool disable = false;      // disable it (else enable it)
  bool endProcess = false;   // a left press in the close box
};
// Window values are the signed 32-bit handles the hook reports. The window under the
// pointer comes from WindowFromPoint, which passes over disabled child windows and gives
// their parent: while the guard keeps the current window disabled, its host window under
// the pointer counts as the current window, or the window would never be enabled again
// (and the close box, right of the band, would not work after the pointer crossed it).
MouseGuardDecision DecideMouseGuard(std::int32_t currentWindow, std::int32_t windowUnderPointer,
                                    std::int32_t currentParent, bool currentDisabled, int button,
                                    int action, int x, int y, int paneWidth);

enum class TabClickAction {
  kNothing,       // the tab is already selected
  kSelectPane,    // show pane K
  kLaunch,        // the add tab: disable the tabs and start the launch worker
  kRefuseLaunch,  // the add tab while six are counted: grey it again
};
// tabIsSelected: the model has the tab selected. K: the tab's position.
TabClickAction DecideTabClick(bool tabIsSelected, int k, int hostedWindowCount, int hostedCount);

enum class AltAAction { kNothing, kHide, kShow };
// A while Alt is the modifier held: pressed hides, released shows.
AltAAction DecideAltA(int hostedCount, const util::KeyEvent& event);

// Which path to write to route.dat: the path found when it is non-empty and differs
// from what is stored; otherwise empty (nothing is written). A process we cannot open
// gives an empty path, and forgetting the stored one would lose the client's location.
Text RouteToWrite(const Text& stored, const Text& found);
// The path the launch starts: the stored one, or the default when nothing is stored.
Text LaunchPath(const Text& stored, const Text& defaultPath);

// The tab layout after the instance at `removed` (1-based) has been taken out of a list
// of `tabsBefore` tabs.
struct RemovalPlan {
  struct TabPlace { Text tag; int top; };
  std::vector<TabPlace> tabs;  // the remaining tabs, top to bottom
  bool panesLeft = false;      // more than the add tab remains: select tab 1, show pane 1
};
RemovalPlan PlanRemoval(int tabsBefore, int removed);

// Whether the tabs lack an add tab: fewer than six hosted and as many tabs as hosted.
bool NeedsAddTab(int hostedCount, int tabCount);

// The working-set trim is due on the first cycle, after an adoption or a removal, and
// otherwise once the interval has passed since the last one.
bool TrimIsDue(bool trimmedOnce, bool changedSinceTrim, unsigned long sinceLastTrimMs, unsigned long intervalMs);

}  // namespace host
