#include "host/gdiplus_session.h"

#include <atomic>

#include "util/log.h"

namespace host {
namespace {
std::atomic<int> startedSessions{0};

// By full path, so that no gdiplus.dll placed beside the program is taken instead.
HMODULE LoadSystemGdiplus() noexcept {
  static constexpr wchar_t kFileName[] = L"\\gdiplus.dll";
  constexpr UINT kNameChars = sizeof kFileName / sizeof kFileName[0];  // with the terminator
  wchar_t path[MAX_PATH + kNameChars] = {};
  const UINT length = GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    util::LogLastError("GetSystemDirectoryW");
    return nullptr;
  }
  for (UINT i = 0; i < kNameChars; ++i) path[length + i] = kFileName[i];
  HMODULE library = LoadLibraryW(path);
  if (!library) util::LogLastError("LoadLibrary(gdiplus.dll)");
  return library;
}

template <typename Fn>
Fn Resolve(HMODULE library, const char* name) {
  FARPROC address = GetProcAddress(library, name);
  if (!address) util::LogError("gdiplus.dll has no %s", name);
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(address));
}
}  // namespace

GdiplusSession::GdiplusSession() noexcept {
  library_ = LoadSystemGdiplus();
  if (!library_) return;
  const auto startup = Resolve<StartupFn>(library_, "GdiplusStartup");
  shutdown_ = Resolve<ShutdownFn>(library_, "GdiplusShutdown");
  fromStream_ = Resolve<FromStreamFn>(library_, "GdipCreateBitmapFromStream");
  save_ = Resolve<SaveFn>(library_, "GdipSaveImageToStream");
  dispose_ = Resolve<DisposeFn>(library_, "GdipDisposeImage");
  if (!startup || !shutdown_ || !fromStream_ || !save_ || !dispose_) return;
  Gdiplus::GdiplusStartupInput input;  // version 1, no callback, background thread on
  started_ = startup(&token_, &input, nullptr) == Gdiplus::Ok;
  if (started_) ++startedSessions;
}

GdiplusSession::~GdiplusSession() {
  if (started_) shutdown_(token_);
  if (library_) FreeLibrary(library_);
}

Gdiplus::GpStatus GdiplusSession::CreateBitmapFromStream(IStream* stream, Gdiplus::GpBitmap** bitmap) const {
  return fromStream_(stream, bitmap);
}

Gdiplus::GpStatus GdiplusSession::SaveImageToStream(Gdiplus::GpImage* image, IStream* stream,
                                                    const CLSID* encoder) const {
  return save_(image, stream, encoder, nullptr);
}

void GdiplusSession::DisposeImage(Gdiplus::GpImage* image) const { dispose_(image); }

int GdiplusSession::StartedCount() noexcept { return startedSessions.load(); }

}  // namespace host
