#pragma once
// Move-only owners for Win32 resources. Foreign windows are never owned: use plain HWND values.
#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <type_traits>
#include <utility>

#include "util/log.h"

namespace util {

// Traits with a static Taken(Handle) hear of every handle an owner takes.
template <class Traits, class = void>
struct HasTakenHook : std::false_type {};
template <class Traits>
struct HasTakenHook<Traits, std::void_t<decltype(Traits::Taken(std::declval<typename Traits::Handle>()))>>
    : std::true_type {};

// Traits: static Handle Empty(); static bool IsEmpty(Handle); static void Close(Handle);
// optionally static void Taken(Handle).
template <class Traits>
class UniqueResource {
 public:
  using Handle = typename Traits::Handle;

  UniqueResource() noexcept : handle_(Traits::Empty()) {}
  explicit UniqueResource(Handle handle) noexcept : handle_(handle) { NoteTaken(handle); }
  ~UniqueResource() { reset(); }

  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  UniqueResource(UniqueResource&& other) noexcept : handle_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  Handle get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return !Traits::IsEmpty(handle_); }

  void reset(Handle handle = Traits::Empty()) noexcept {
    if (!Traits::IsEmpty(handle_)) Traits::Close(handle_);
    handle_ = handle;
    NoteTaken(handle);
  }
  Handle release() noexcept { return std::exchange(handle_, Traits::Empty()); }

 private:
  static void NoteTaken(Handle handle) noexcept {
    if constexpr (HasTakenHook<Traits>::value) {
      if (!Traits::IsEmpty(handle)) Traits::Taken(handle);
    }
  }
  Handle handle_;
};

struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Empty() noexcept { return nullptr; }
  // Some APIs fail with INVALID_HANDLE_VALUE, others with null: both are empty.
  static bool IsEmpty(Handle h) noexcept { return h == nullptr || h == INVALID_HANDLE_VALUE; }
  static void Close(Handle h) noexcept { ::CloseHandle(h); }
};
using UniqueHandle = UniqueResource<KernelHandleTraits>;

// GDI objects that went through the owners: taken, and really gone when their owner deleted
// them. One still selected into a DC is not gone: Windows refuses to delete it (a leak that
// adds up towards the process's GDI quota), Wine only marks it and frees it once it is
// deselected. Taken minus gone is what the owners failed to free; it costs two counts.
struct GdiObjectCounts {
  long taken = 0;
  long gone = 0;
};
inline std::atomic<long> gdiObjectsTaken{0};
inline std::atomic<long> gdiObjectsGone{0};
inline GdiObjectCounts CountedGdiObjects() noexcept { return {gdiObjectsTaken.load(), gdiObjectsGone.load()}; }

template <class T>
struct GdiObjectTraits {
  using Handle = T;
  static Handle Empty() noexcept { return nullptr; }
  static bool IsEmpty(Handle h) noexcept { return h == nullptr; }
  static void Taken(Handle) noexcept { ++gdiObjectsTaken; }
  static void Close(Handle h) noexcept {
    const HGDIOBJ object = reinterpret_cast<HGDIOBJ>(h);
    if (!::DeleteObject(object)) {
      LogLastError("DeleteObject");
      return;
    }
    // A deleted object has no type any more; one Wine kept because it is selected still has.
    if (::GetObjectType(object) == 0) ++gdiObjectsGone;
  }
};
template <class T>
using UniqueGdiObject = UniqueResource<GdiObjectTraits<T>>;
using UniqueBitmap = UniqueGdiObject<HBITMAP>;
using UniqueFont = UniqueGdiObject<HFONT>;
using UniqueBrush = UniqueGdiObject<HBRUSH>;

struct IconTraits {
  using Handle = HICON;
  static Handle Empty() noexcept { return nullptr; }
  static bool IsEmpty(Handle h) noexcept { return h == nullptr; }
  static void Close(Handle h) noexcept { ::DestroyIcon(h); }
};
using UniqueIcon = UniqueResource<IconTraits>;

struct HookTraits {
  using Handle = HHOOK;
  static Handle Empty() noexcept { return nullptr; }
  static bool IsEmpty(Handle h) noexcept { return h == nullptr; }
  static void Close(Handle h) noexcept { ::UnhookWindowsHookEx(h); }
};
using UniqueHook = UniqueResource<HookTraits>;

struct GlobalMemoryTraits {
  using Handle = HGLOBAL;
  static Handle Empty() noexcept { return nullptr; }
  static bool IsEmpty(Handle h) noexcept { return h == nullptr; }
  static void Close(Handle h) noexcept { ::GlobalFree(h); }
};
using UniqueGlobal = UniqueResource<GlobalMemoryTraits>;

// A memory DC that puts back what was selected into it before it is deleted.
class MemoryDc {
 public:
  explicit MemoryDc(HDC compatibleWith) noexcept : dc_(::CreateCompatibleDC(compatibleWith)) {}
  ~MemoryDc() {
    if (previous_) ::SelectObject(dc_, previous_);
    if (dc_) ::DeleteDC(dc_);
  }
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;

  HDC get() const noexcept { return dc_; }
  explicit operator bool() const noexcept { return dc_ != nullptr; }
  // Selects an object; the first object displaced is restored at destruction.
  void Select(HGDIOBJ object) noexcept {
    HGDIOBJ old = ::SelectObject(dc_, object);
    if (!previous_) previous_ = old;
  }

 private:
  HDC dc_;
  HGDIOBJ previous_ = nullptr;
};

// An object selected into a DC for as long as this lives; the object it displaced is put
// back when it goes. Declare it after the owners of the DC and of the object, so that it
// goes first: an object still selected cannot be deleted.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) noexcept
      : dc_(dc), previous_(dc != nullptr && object != nullptr ? ::SelectObject(dc, object) : nullptr) {
    if (previous_ == HGDI_ERROR) previous_ = nullptr;
  }
  ~SelectedObject() {
    if (previous_) ::SelectObject(dc_, previous_);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;
  explicit operator bool() const noexcept { return previous_ != nullptr; }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// A window DC (GetDC) that remembers its window, so ReleaseDC gets the right pair.
class WindowDc {
 public:
  explicit WindowDc(HWND window) noexcept : window_(window), dc_(::GetDC(window)) {}
  ~WindowDc() {
    if (dc_) ::ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const noexcept { return dc_; }
  explicit operator bool() const noexcept { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

// COM interface pointer owner.
template <class T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  explicit ComPtr(T* p) noexcept : p_(p) {}
  ~ComPtr() { reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& o) noexcept : p_(o.release()) {}
  ComPtr& operator=(ComPtr&& o) noexcept {
    if (this != &o) { reset(); p_ = o.release(); }
    return *this;
  }
  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  // For out-parameters: releases what is held first.
  T** put() noexcept { reset(); return &p_; }
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }
  void reset() noexcept {
    if (p_) { p_->Release(); p_ = nullptr; }
  }
  T* release() noexcept { return std::exchange(p_, nullptr); }

 private:
  T* p_ = nullptr;
};

// CoInitialize on construction; CoUninitialize only if the initialisation succeeded
// (S_FALSE counts: it still needs its matching uninitialise).
class ComApartment {
 public:
  ComApartment() noexcept : hr_(::CoInitialize(nullptr)) {}
  explicit ComApartment(DWORD coinit) noexcept : hr_(::CoInitializeEx(nullptr, coinit)) {}
  ~ComApartment() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  HRESULT result() const noexcept { return hr_; }

 private:
  HRESULT hr_;
};

}  // namespace util
