#pragma once
// Late-bound calls on automation objects (IDispatch by member name), so the program needs
// neither type libraries nor import libraries of the objects it drives.
#include <windows.h>
#include <oaidl.h>

#include <utility>

#include "util/text.h"

namespace util {

// Owns one BSTR. Move-only; an empty owner holds null.
class Bstr {
 public:
  Bstr() noexcept = default;
  // The GBK text as UTF-16; null when it cannot be allocated.
  explicit Bstr(const Text& text);
  ~Bstr() { reset(); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& other) noexcept : value_(other.release()) {}
  Bstr& operator=(Bstr&& other) noexcept {
    if (this != &other) {
      reset();
      value_ = other.release();
    }
    return *this;
  }

  BSTR get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return value_ != nullptr; }
  BSTR release() noexcept { return std::exchange(value_, nullptr); }
  void reset() noexcept;

 private:
  BSTR value_ = nullptr;
};

// Looks the member up by name and invokes it. kind is DISPATCH_METHOD, DISPATCH_PROPERTYGET
// or DISPATCH_PROPERTYPUT; a property put passes its value as the DISPID_PROPERTYPUT named
// argument, as automation requires.
//
// arguments points at argumentCount values in the order IDispatch wants them: REVERSED, the
// member's last parameter first (for Open(method, url, async) pass {async, url, method}).
// The values stay the caller's. result may be null. A failure is logged with the member's
// name and returned; it never throws.
HRESULT InvokeByName(IDispatch* object, const wchar_t* member, WORD kind, VARIANT* arguments,
                     UINT argumentCount, VARIANT* result) noexcept;

// Property puts of one text (as a BSTR) or one integer (as VT_I4).
HRESULT PutText(IDispatch* object, const wchar_t* property, const Text& value) noexcept;
HRESULT PutInteger(IDispatch* object, const wchar_t* property, long value) noexcept;

}  // namespace util
