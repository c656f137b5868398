#pragma once
// A GDI+ session: GdiplusStartup on construction (version 1, nothing else asked for),
// GdiplusShutdown on destruction only when the start-up succeeded.
#include <windows.h>
#include <objidl.h>

#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

namespace host {

class GdiplusSession {
 public:
  GdiplusSession() noexcept;
  ~GdiplusSession();
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;

  explicit operator bool() const noexcept { return started_; }

  // How many sessions this process has started so far. Lets a test see that an
  // operation gave up before it started GDI+.
  static int StartedCount() noexcept;

 private:
  ULONG_PTR token_ = 0;
  bool started_ = false;
};

}  // namespace host
