// The start-up order goes on past a place that fails: the places after it still run, and the
// failure is in the log with the place's name.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/startup_order.h"
#include "tests/support/log_capture.h"

namespace {

TEST(StartupOrder, EveryPlaceAfterAFailingOneStillRunsAndTheFailureIsLogged) {
  struct Case {
    const char* what;
    std::function<void()> fault;
    const char* logged;
  } cases[] = {
      {"out of memory (a huge answer converted to text)", [] { throw std::bad_alloc(); },
       "place 10 update check ran out of memory"},
      {"a standard exception", [] { throw std::runtime_error("no server"); },
       "place 10 update check failed (no server)"},
      {"something that is no standard exception", [] { throw 42; }, "place 10 update check failed;"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testlog::LogCapture log;
    std::vector<std::string> ran;
    auto note = [&ran](const char* name) { return [&ran, name] { ran.push_back(name); }; };
    const int failed = app::RunStartupOrder({
        {"9 first tab", note("9")},
        {"10 update check",
         [&] {
           ran.push_back("10");
           c.fault();
         }},
        {"11 host set-up timer", note("11")},
        {"12 tray icon", note("12")},
        {"13 mouse hook", note("13")},
    });
    EXPECT_EQ(failed, 1);
    EXPECT_EQ(ran, (std::vector<std::string>{"9", "10", "11", "12", "13"}));
    EXPECT_TRUE(log.Contains(c.logged)) << log.Lines();
  }
}

TEST(StartupOrder, FailuresAtSeveralPlacesAreEachLoggedAndNothingIsSkipped) {
  testlog::LogCapture log;
  int ran = 0;
  const int failed = app::RunStartupOrder({
      {"3 skin", [&ran] { ++ran; throw std::runtime_error("skin"); }},
      {"4 layout", [&ran] { ++ran; }},
      {"12 tray icon", [&ran] { ++ran; throw std::bad_alloc(); }},
      {"13 mouse hook", [&ran] { ++ran; }},
  });
  EXPECT_EQ(failed, 2);
  EXPECT_EQ(ran, 4);
  EXPECT_TRUE(log.Contains("place 3 skin failed (skin)")) << log.Lines();
  EXPECT_TRUE(log.Contains("place 12 tray icon ran out of memory")) << log.Lines();
}

}  // namespace
