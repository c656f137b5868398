// The instance host's pure decisions, as tables.
#include "host/host_bookkeeping.h"
#include "host/client_window_events.h"

#include <gtest/gtest.h>

namespace host {
namespace {

constexpr int kPane = 914;  // paneWidth on a 1920 by 1080 screen

TEST(TabPlaces, TopsAndTagsFollowPosition) {
  struct Case { int position; int top; const char* tag; };
  const Case cases[] = {{1, 2, "1"}, {2, 82, "2"}, {3, 162, "3"}, {4, 242, "4"}, {6, 402, "6"}};
  for (const Case& c : cases) {
    EXPECT_EQ(TabTop(c.position), c.top) << c.position;
    EXPECT_EQ(TabTag(c.position), c.tag) << c.position;
  }
}

TEST(PointerGuard, ButtonBandAndCloseBoxBoundaries) {
  struct Case { int x; int y; bool band; bool close; };
  const Case cases[] = {
      {kPane - 149, 30, true, false},   // band's left edge, lowest row
      {kPane - 150, 30, false, false},  // one left of the band
      {kPane - 149, 31, false, false},  // one below the band
      {kPane - 34, 0, true, false},     // band's right edge
      {kPane - 33, 0, false, false},    // gap between band and close box
      {kPane - 149, -5, true, false},   // above the window still counts (y <= 30)
      {kPane - 31, 24, false, true},    // close box's lower-left pixel
      {kPane - 32, 24, false, false},   // one left of the close box
      {kPane - 31, 25, false, false},   // one below the close box
      {kPane - 1, 0, false, true},
      {0, 0, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(InButtonBand(c.x, c.y, kPane), c.band) << c.x << "," << c.y;
    EXPECT_EQ(InCloseBox(c.x, c.y, kPane), c.close) << c.x << "," << c.y;
  }
}

TEST(PointerGuard, OnlyTheCurrentWindowAndOnlyALeftPressEnds) {
  struct Case {
    int current, under;
    bool disabled;
    int button, action, x, y;
    bool act, disable, end;
  };
  // The current window 100 lies in host window 50.
  const Case cases[] = {
      {0, 0, false, 1, 1, kPane - 31, 24, false, false, false},       // nothing current
      {-5, -5, false, 1, 1, kPane - 31, 24, false, false, false},     // not a found handle
      {100, 200, false, 1, 1, kPane - 31, 24, false, false, false},   // another window (login window)
      {100, 200, true, 1, 1, kPane - 31, 24, false, false, false},
      {100, 100, false, 1, 1, kPane - 31, 24, true, false, true},     // left press in the close box
      {100, 100, false, 2, 1, kPane - 31, 24, true, false, false},    // right press
      {100, 100, false, 1, 2, kPane - 31, 24, true, false, false},    // left release
      {100, 100, false, 0, 0, kPane - 31, 24, true, false, false},    // move
      {100, 100, false, 1, 1, kPane - 32, 24, true, false, false},
      {100, 100, false, 1, 1, kPane - 31, 25, true, false, false},
      {100, 100, false, 0, 0, kPane - 149, 30, true, true, false},    // move into the band
      {100, 100, false, 1, 1, kPane - 100, 10, true, true, false},    // press in the band
      // Disabled, the window is passed over and its host is under the pointer.
      {100, 50, true, 0, 0, kPane - 150, 30, true, false, false},     // leaving the band enables
      {100, 50, true, 1, 1, kPane - 31, 24, true, false, true},       // the close box still works
      {100, 50, false, 0, 0, kPane - 149, 30, false, false, false},   // enabled: the host is the host
  };
  for (const Case& c : cases) {
    const MouseGuardDecision d = DecideMouseGuard(c.current, c.under, 50, c.disabled, c.button,
                                                  c.action, c.x, c.y, kPane);
    EXPECT_EQ(d.act, c.act) << c.current << " " << c.under << " " << c.button << c.action;
    EXPECT_EQ(d.disable, c.disable) << c.x << "," << c.y;
    EXPECT_EQ(d.endProcess, c.end) << c.button << c.action << " " << c.x << "," << c.y;
  }
}

TEST(TabClick, Decisions) {
  struct Case { bool selected; int k, windows, counted; TabClickAction want; };
  const Case cases[] = {
      {true, 1, 3, 3, TabClickAction::kNothing},
      {true, 4, 3, 3, TabClickAction::kNothing},         // the add tab already selected
      {false, 2, 3, 3, TabClickAction::kSelectPane},
      {false, 4, 3, 3, TabClickAction::kLaunch},
      {false, 1, 0, 0, TabClickAction::kLaunch},         // only the add tab
      {false, 4, 3, 4, TabClickAction::kLaunch},         // adoption in flight: no pane 4 yet
      {false, 6, 5, 6, TabClickAction::kRefuseLaunch},   // the sixth is being adopted
      {false, 6, 6, 6, TabClickAction::kSelectPane},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecideTabClick(c.selected, c.k, c.windows, c.counted), c.want)
        << c.selected << " " << c.k << " " << c.windows << " " << c.counted;
  }
}

TEST(AltA, OnlyAltAWithSomethingHosted) {
  struct Case { int hosted, modifier, key, action; AltAAction want; };
  const Case cases[] = {
      {0, 18, 65, 1, AltAAction::kNothing}, {1, 18, 65, 1, AltAAction::kHide},
      {1, 18, 65, 2, AltAAction::kShow},    {1, 17, 65, 1, AltAAction::kNothing},
      {1, 18, 66, 1, AltAAction::kNothing}, {1, 0, 65, 2, AltAAction::kNothing},
      {6, 18, 65, 1, AltAAction::kHide},    {1, 18, 164, 1, AltAAction::kNothing},
  };
  for (const Case& c : cases) {
    const util::KeyEvent event{static_cast<util::Modifier>(c.modifier), c.key, static_cast<util::KeyAction>(c.action)};
    EXPECT_EQ(DecideAltA(c.hosted, event), c.want)
        << c.hosted << " " << c.modifier << " " << c.key << " " << c.action;
  }
}

TEST(Route, WhatIsWrittenAndWhatIsStarted) {
  const Text a = "C:\\A\\WeChat.exe";
  const Text b = "D:\\B\\WeChat.exe";
  EXPECT_EQ(RouteToWrite("", a), a);
  EXPECT_EQ(RouteToWrite(b, a), a);
  EXPECT_EQ(RouteToWrite(a, a), "");                           // unchanged: no write
  EXPECT_EQ(RouteToWrite("c:\\a\\wechat.exe", a), a);          // byte-exact, case-sensitive
  EXPECT_EQ(RouteToWrite(a, ""), "");                          // unreadable process: keep
  EXPECT_EQ(RouteToWrite("", ""), "");
  EXPECT_EQ(LaunchPath("", a), a);
  EXPECT_EQ(LaunchPath(b, a), b);
}

TEST(Removal, TabsCloseUpAndAnAddTabReturnsBelowSix) {
  struct Case {
    int tabsBefore, removed;
    std::vector<int> tops;
    bool panesLeft;
  };
  const Case cases[] = {
      {4, 2, {2, 82, 162}, true},                // three hosted + add tab, second gone
      {4, 1, {2, 82, 162}, true},
      {2, 1, {2}, false},                        // the last one gone: only the add tab
      {6, 6, {2, 82, 162, 242, 322}, true},      // six hosted, the sixth gone
      {6, 3, {2, 82, 162, 242, 322}, true},
  };
  for (const Case& c : cases) {
    const RemovalPlan plan = PlanRemoval(c.tabsBefore, c.removed);
    ASSERT_EQ(plan.tabs.size(), c.tops.size()) << c.tabsBefore << " " << c.removed;
    for (size_t j = 0; j < c.tops.size(); ++j) {
      EXPECT_EQ(plan.tabs[j].top, c.tops[j]);
      EXPECT_EQ(plan.tabs[j].tag, std::to_string(j + 1));
    }
    EXPECT_EQ(plan.panesLeft, c.panesLeft);
  }
  EXPECT_TRUE(NeedsAddTab(5, 5));    // six down to five: no add tab left
  EXPECT_FALSE(NeedsAddTab(5, 6));
  EXPECT_FALSE(NeedsAddTab(6, 6));
  EXPECT_FALSE(NeedsAddTab(0, 1));
}

}  // namespace
}  // namespace host

TEST(ClientWindowEvent, OnlyTheClientsMainAndAlertWindowsAtTopLevel) {
  using host::ClientWindowEvent;
  constexpr ClientWindowEvent wake = ClientWindowEvent::kAppeared;
  constexpr ClientWindowEvent watch = ClientWindowEvent::kCreatedHidden;
  constexpr ClientWindowEvent none = ClientWindowEvent::kNone;
  struct Case {
    const char* name;
    DWORD event;
    LONG object;
    bool topLevel, visible;
    const char* className;
    const char* title;
    ClientWindowEvent expected;
  };
  const Case cases[] = {
      {"main window shown", EVENT_OBJECT_SHOW, OBJID_WINDOW, true, true, "WeChatMainWndForPC", "微信", wake},
      {"alert shown", EVENT_OBJECT_SHOW, OBJID_WINDOW, true, true, "AlertDialog", "微信", wake},
      {"main window created visible", EVENT_OBJECT_CREATE, OBJID_WINDOW, true, true, "WeChatMainWndForPC", "微信", wake},
      {"main window created hidden", EVENT_OBJECT_CREATE, OBJID_WINDOW, true, false, "WeChatMainWndForPC", "微信", watch},
      {"alert created hidden", EVENT_OBJECT_CREATE, OBJID_WINDOW, true, false, "AlertDialog", "微信", watch},
      {"shown, hidden again by the time we look", EVENT_OBJECT_SHOW, OBJID_WINDOW, true, false, "WeChatMainWndForPC", "微信", none},
      {"login window", EVENT_OBJECT_SHOW, OBJID_WINDOW, true, true, "WeChatLoginWndForPC", "微信", none},
      {"login window created", EVENT_OBJECT_CREATE, OBJID_WINDOW, true, false, "WeChatLoginWndForPC", "微信", none},
      {"another title", EVENT_OBJECT_SHOW, OBJID_WINDOW, true, true, "WeChatMainWndForPC", "微信 ", none},
      {"untitled", EVENT_OBJECT_CREATE, OBJID_WINDOW, true, false, "WeChatMainWndForPC", "", none},
      {"a hosted one (child)", EVENT_OBJECT_SHOW, OBJID_WINDOW, false, true, "WeChatMainWndForPC", "微信", none},
      {"a part of the window", EVENT_OBJECT_SHOW, OBJID_CLIENT, true, true, "WeChatMainWndForPC", "微信", none},
      {"destroyed", EVENT_OBJECT_DESTROY, OBJID_WINDOW, true, false, "WeChatMainWndForPC", "微信", none},
      {"hidden", EVENT_OBJECT_HIDE, OBJID_WINDOW, true, false, "WeChatMainWndForPC", "微信", none},
  };
  for (const Case& c : cases) {
    host::WindowEventFacts facts;
    facts.event = c.event;
    facts.object = c.object;
    facts.child = CHILDID_SELF;
    facts.topLevel = c.topLevel;
    facts.visible = c.visible;
    facts.className = c.className;
    facts.title = c.title;
    EXPECT_EQ(host::ClassifyWindowEvent(facts), c.expected) << c.name;
  }
}

TEST(WorkingSetTrim, DueFirstAfterChangesAndOnceTheIntervalHasPassed) {
  EXPECT_TRUE(host::TrimIsDue(false, false, 0, 5000));
  EXPECT_TRUE(host::TrimIsDue(true, true, 0, 5000));
  EXPECT_FALSE(host::TrimIsDue(true, false, 4999, 5000));
  EXPECT_TRUE(host::TrimIsDue(true, false, 5000, 5000));
}
