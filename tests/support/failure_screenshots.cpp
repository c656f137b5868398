// A failing test leaves a screenshot of the desktop behind: registered for every test
// program that links the support library (CMake forces this object into the link).
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/support/test_support.h"

namespace {

class ScreenshotOnFailure : public testing::EmptyTestEventListener {
 public:
  void OnTestEnd(const testing::TestInfo& info) override {
    if (!info.result() || !info.result()->Failed()) return;
    std::string name = std::string(info.test_suite_name()) + "." + info.name();
    std::string path = support::SaveScreenshot(name);
    std::printf("[screenshot] %s\n", path.empty() ? "could not be saved" : path.c_str());
    std::fflush(stdout);
  }
};

// Listeners may be appended only once the unit test exists; an environment's SetUp runs
// after InitGoogleTest and before the first test.
class ScreenshotEnvironment : public testing::Environment {
 public:
  void SetUp() override { testing::UnitTest::GetInstance()->listeners().Append(new ScreenshotOnFailure); }
};

testing::Environment* const kEnvironment = testing::AddGlobalTestEnvironment(new ScreenshotEnvironment);

}  // namespace

// Referenced from the link options so that a static link keeps this object.
extern "C" {
int tandrel_failure_screenshots_anchor = 0;
}
