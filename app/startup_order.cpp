#include "app/startup_order.h"

#include <exception>
#include <new>

#include "util/log.h"

namespace app {

int RunStartupOrder(const std::vector<StartupPlace>& places) noexcept {
  int failed = 0;
  for (const StartupPlace& place : places) {
    try {
      if (place.action) place.action();
    } catch (const std::bad_alloc&) {
      ++failed;
      util::LogError("start: place %s ran out of memory; going on with the next place", place.name);
    } catch (const std::exception& e) {
      ++failed;
      util::LogError("start: place %s failed (%s); going on with the next place", place.name, e.what());
    } catch (...) {
      ++failed;
      util::LogError("start: place %s failed; going on with the next place", place.name);
    }
  }
  return failed;
}

}  // namespace app
