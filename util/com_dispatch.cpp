#include "util/com_dispatch.h"

#include <oleauto.h>

#include "util/log.h"

namespace util {

Bstr::Bstr(const Text& text) {
  const std::wstring wide = Widen(text);
  value_ = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (!value_) LogError("SysAllocStringLen failed for %u characters", static_cast<unsigned>(wide.size()));
}

void Bstr::reset() noexcept {
  if (value_) SysFreeString(value_);
  value_ = nullptr;
}

namespace {

void LogInvokeFailure(const char* step, const wchar_t* member, HRESULT hr) noexcept {
  try {
    const Text what = Text(step) + " " + Narrow(member);
    LogFailure(what.c_str(), hr);
  } catch (...) {
    LogFailure(step, hr);
  }
}

}  // namespace

HRESULT InvokeByName(IDispatch* object, const wchar_t* member, WORD kind, VARIANT* arguments,
                     UINT argumentCount, VARIANT* result) noexcept {
  if (!object || !member || (argumentCount > 0 && !arguments)) {
    LogError("InvokeByName called without an object, a member or its arguments");
    return E_POINTER;
  }
  DISPID id = 0;
  LPOLESTR name = const_cast<LPOLESTR>(member);
  HRESULT hr = object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) {
    LogInvokeFailure("IDispatch::GetIDsOfNames", member, hr);
    return hr;
  }
  DISPPARAMS params{};
  params.rgvarg = argumentCount > 0 ? arguments : nullptr;
  params.cArgs = argumentCount;
  DISPID namedPut = DISPID_PROPERTYPUT;
  if (kind & DISPATCH_PROPERTYPUT) {
    params.rgdispidNamedArgs = &namedPut;
    params.cNamedArgs = 1;
  }
  hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, result, nullptr, nullptr);
  if (FAILED(hr)) LogInvokeFailure("IDispatch::Invoke", member, hr);
  return hr;
}

HRESULT PutText(IDispatch* object, const wchar_t* property, const Text& value) noexcept {
  try {
    Bstr text(value);
    if (!text) return E_OUTOFMEMORY;
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_BSTR;
    argument.bstrVal = text.get();
    return InvokeByName(object, property, DISPATCH_PROPERTYPUT, &argument, 1, nullptr);
  } catch (...) {
    LogCaughtException("PutText");
    return E_OUTOFMEMORY;
  }
}

HRESULT PutInteger(IDispatch* object, const wchar_t* property, long value) noexcept {
  VARIANT argument;
  VariantInit(&argument);
  argument.vt = VT_I4;
  argument.lVal = value;
  return InvokeByName(object, property, DISPATCH_PROPERTYPUT, &argument, 1, nullptr);
}

}  // namespace util
