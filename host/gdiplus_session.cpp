#include "host/gdiplus_session.h"

#include <atomic>

namespace host {
namespace {
std::atomic<int> startedSessions{0};
}  // namespace

GdiplusSession::GdiplusSession() noexcept {
  Gdiplus::GdiplusStartupInput input;  // version 1, no callback, background thread on
  started_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
  if (started_) ++startedSessions;
}

GdiplusSession::~GdiplusSession() {
  if (started_) Gdiplus::GdiplusShutdown(token_);
}

int GdiplusSession::StartedCount() noexcept { return startedSessions.load(); }

}  // namespace host
