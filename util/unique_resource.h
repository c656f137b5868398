#pragma once
// Move-only owners for Win32 resources. Foreign windows are never owned: use plain HWND values.
#include <windows.h>
#include <objbase.h>
#include <utility>

namespace util {

// Traits: static Handle Empty(); static bool IsEmpty(Handle); static void Close(Handle).
template <class Traits>
class UniqueResource {
 public:
  using Handle = typename Traits::Handle;

  UniqueResource() noexcept : handle_(Traits::Empty()) {}
  explicit UniqueResource(Handle handle) noexcept : handle_(handle) {}
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
  }
  Handle release() noexcept { return std::exchange(handle_, Traits::Empty()); }

 private:
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

template <class T>
struct GdiObjectTraits {
  using Handle = T;
  static Handle Empty() noexcept { return nullptr; }
  static bool IsEmpty(Handle h) noexcept { return h == nullptr; }
  static void Close(Handle h) noexcept { ::DeleteObject(reinterpret_cast<HGDIOBJ>(h)); }
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
