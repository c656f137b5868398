#pragma once
// A GDI+ session: gdiplus.dll loaded from the system folder and GdiplusStartup (version 1,
// nothing else asked for) on construction; GdiplusShutdown, when the start-up succeeded, and
// the library unloaded on destruction. Loading it only for a session keeps the long-lived
// process free of it between avatars (under Wine it keeps 0.4 MB of private pages mapped).
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

  // The flat API's calls the avatar needs, valid while the session is started.
  Gdiplus::GpStatus CreateBitmapFromStream(IStream* stream, Gdiplus::GpBitmap** bitmap) const;
  Gdiplus::GpStatus SaveImageToStream(Gdiplus::GpImage* image, IStream* stream, const CLSID* encoder) const;
  void DisposeImage(Gdiplus::GpImage* image) const;

  // How many sessions this process has started so far. Lets a test see that an
  // operation gave up before it started GDI+.
  static int StartedCount() noexcept;

 private:
  using StartupFn = Gdiplus::GpStatus(WINAPI*)(ULONG_PTR*, const Gdiplus::GdiplusStartupInput*,
                                               Gdiplus::GdiplusStartupOutput*);
  using ShutdownFn = void(WINAPI*)(ULONG_PTR);
  using FromStreamFn = Gdiplus::GpStatus(WINAPI*)(IStream*, Gdiplus::GpBitmap**);
  using SaveFn = Gdiplus::GpStatus(WINAPI*)(Gdiplus::GpImage*, IStream*, const CLSID*,
                                            const Gdiplus::EncoderParameters*);
  using DisposeFn = Gdiplus::GpStatus(WINAPI*)(Gdiplus::GpImage*);

  HMODULE library_ = nullptr;
  ShutdownFn shutdown_ = nullptr;
  FromStreamFn fromStream_ = nullptr;
  SaveFn save_ = nullptr;
  DisposeFn dispose_ = nullptr;
  ULONG_PTR token_ = 0;
  bool started_ = false;
};

}  // namespace host
