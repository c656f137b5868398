#pragma once
// The start-up order as a list of places run one after another.
#include <functional>
#include <vector>

namespace app {

struct StartupPlace {
  const char* name;  // for the log: "6 keyboard hook"
  std::function<void()> action;
};

// Runs every place in order. A place that throws is logged with its name and the places after
// it still run: a fault at one place must not cost the user hosting, the tray icon or the
// mouse hook. Returns how many places failed.
int RunStartupOrder(const std::vector<StartupPlace>& places) noexcept;

}  // namespace app
