// The stand-in's script parser and its per-process colours: pure values.
#include <gtest/gtest.h>

#include <set>

#include "tests/standin/standin_script.h"

namespace {

using standin::Anchor;
using standin::ParseStandinScript;
using standin::Script;
using standin::StartMode;

TEST(StandinScript, EmptyScriptShowsTheLoginWindowAtOnceAndDoesNothingElse) {
  Script s = ParseStandinScript("", 1);
  EXPECT_EQ(s.start, StartMode::kLogin);
  EXPECT_EQ(s.loginWindowDelayMs, 0);
  EXPECT_EQ(s.busyMs, 0);
  EXPECT_FALSE(s.login.Set());
  EXPECT_FALSE(s.exit.Set());
  EXPECT_FALSE(s.crash.Set());
  EXPECT_FALSE(s.hasColour);
  EXPECT_TRUE(s.errors.empty());
}

TEST(StandinScript, EveryLineKindIsRead) {
  Script s = ParseStandinScript(
      "# a comment line\r\n"
      "start hidden\n"
      "login_window 250   # trailing comment\n"
      "login login+1500\n"
      "size 640 480\n"
      "position -5 12\n"
      "colour 1A2B3C\n"
      "busy forever\n"
      "resize main+300 500 400\n"
      "alert 700\n"
      "exit main+900 7\n"
      "crash 4000\n"
      "hang 100 2500\n"
      "log C:\\some dir\\x.log\n",
      1);
  EXPECT_TRUE(s.errors.empty()) << s.errors.front();
  EXPECT_EQ(s.start, StartMode::kHidden);
  EXPECT_EQ(s.loginWindowDelayMs, 250);
  EXPECT_EQ(s.login.anchor, Anchor::kLoginShown);
  EXPECT_EQ(s.login.ms, 1500);
  EXPECT_EQ(s.mainWidth, 640);
  EXPECT_EQ(s.mainHeight, 480);
  EXPECT_EQ(s.mainX, -5);
  EXPECT_EQ(s.mainY, 12);
  ASSERT_TRUE(s.hasColour);
  EXPECT_EQ(s.colour, 0x3C2B1Au);  // written RRGGBB, kept as a COLORREF (0x00BBGGRR)
  EXPECT_EQ(s.busyMs, -1);
  EXPECT_EQ(s.resize.anchor, Anchor::kMainShown);
  EXPECT_EQ(s.resize.ms, 300);
  EXPECT_EQ(s.resizeWidth, 500);
  EXPECT_EQ(s.resizeHeight, 400);
  EXPECT_EQ(s.alert.anchor, Anchor::kStart);
  EXPECT_EQ(s.alert.ms, 700);
  EXPECT_EQ(s.exit.anchor, Anchor::kMainShown);
  EXPECT_EQ(s.exit.ms, 900);
  EXPECT_EQ(s.exitCode, 7);
  EXPECT_EQ(s.crash.ms, 4000);
  EXPECT_EQ(s.hang.ms, 100);
  EXPECT_EQ(s.hangMs, 2500);
  EXPECT_EQ(s.logPath, "C:\\some dir\\x.log");
}

TEST(StandinScript, BarSeparatesLinesForScriptsInAnEnvironmentVariable) {
  Script s = ParseStandinScript("start main|exit 300 4", 1);
  EXPECT_EQ(s.start, StartMode::kMain);
  EXPECT_EQ(s.exit.ms, 300);
  EXPECT_EQ(s.exitCode, 4);
}

TEST(StandinScript, SectionsSelectTheInstance) {
  const char* text =
      "exit 1000\n"
      "[2]\n"
      "exit 2000\n"
      "colour FF0000\n"
      "[3]\n"
      "crash 50\n"
      "[all]\n"
      "size 300 200\n";
  Script first = ParseStandinScript(text, 1);
  Script second = ParseStandinScript(text, 2);
  Script third = ParseStandinScript(text, 3);
  EXPECT_EQ(first.exit.ms, 1000);
  EXPECT_FALSE(first.hasColour);
  EXPECT_FALSE(first.crash.Set());
  EXPECT_EQ(second.exit.ms, 2000);
  EXPECT_EQ(second.colour, 0x0000FFu);
  EXPECT_FALSE(second.crash.Set());
  EXPECT_EQ(third.exit.ms, 1000);
  EXPECT_EQ(third.crash.ms, 50);
  for (const Script* s : {&first, &second, &third}) EXPECT_EQ(s->mainWidth, 300);
}

TEST(StandinScript, LinesNotUnderstoodAreReportedWithTheirNumberAndIgnored) {
  struct Case {
    const char* line;
  } cases[] = {{"start sideways"}, {"login soon"},     {"size 0 10"},   {"size 10"},
               {"colour 12345"},   {"colour GGHHII"},  {"exit 10 -1"},  {"resize main+ 10 10"},
               {"hang x"},         {"frobnicate 3"},   {"[zero]"},      {"busy -4"}};
  for (const Case& c : cases) {
    Script s = ParseStandinScript(std::string("size 321 123\n") + c.line + "\n", 1);
    ASSERT_EQ(s.errors.size(), 1u) << c.line;
    EXPECT_EQ(s.errors[0].rfind("line 2:", 0), 0u) << s.errors[0];
    EXPECT_EQ(s.mainWidth, 321) << c.line;  // the good line still counts
  }
}

TEST(StandinColour, EveryProcessIdBelow131072HasItsOwnColourAwayFromTheWindowGreys) {
  std::set<std::uint32_t> seen;
  for (std::uint32_t pid = 0; pid < 131072; pid += 4) {
    std::uint32_t c = standin::AvatarColourForProcess(pid);
    ASSERT_TRUE(seen.insert(c).second) << "pid " << pid;
    for (int shift = 0; shift < 24; shift += 8) {
      std::uint32_t channel = (c >> shift) & 0xFF;
      ASSERT_GE(channel, 64u);
      ASSERT_LE(channel, 219u);
    }
  }
  // Neighbouring processes look clearly different, not one step apart.
  std::uint32_t a = standin::AvatarColourForProcess(400), b = standin::AvatarColourForProcess(404);
  int distance = 0;
  for (int shift = 0; shift < 24; shift += 8) distance += std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF));
  EXPECT_GT(distance, 60);
}

}  // namespace
