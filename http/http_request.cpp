// SendHttpRequest: the WinHttp request object driven by late binding (IDispatch),
// so the program needs no type library and no WinHttp import at all.
#include "http/http_request.h"

#include <windows.h>
#include <oleauto.h>
#include <winhttp.h>  // the SECURITY_FLAG_ names only: the request object is late-bound

#include "util/com_dispatch.h"
#include "util/log.h"
#include "util/unique_resource.h"

namespace http {
namespace {

constexpr long kTimeoutMilliseconds = 15000;
// WinHttpRequestOption_SslErrorIgnoreFlags; its header (httprequest.h) is not in MinGW.
constexpr long kOptionSslErrorIgnoreFlags = 4;
constexpr long kIgnoreCertificateErrors = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE |
                                          SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                                          SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;
static_assert(kIgnoreCertificateErrors == 0x3300, "the four certificate errors the request ignores");

const char kHeaderLinesBeforeReferer[] = "Accept: */*\r\nReferer: ";
const char kHeaderLinesAfterReferer[] =
    "\r\nAccept-Language: zh-cn\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

// Arguments of one call, in the order the member declares them; owns its BSTRs.
class Arguments {
 public:
  Arguments() = default;
  Arguments(const Arguments&) = delete;
  Arguments& operator=(const Arguments&) = delete;
  ~Arguments() {
    for (VARIANT& v : values_) ::VariantClear(&v);
  }
  Arguments& Long(long value) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    values_.push_back(v);
    return *this;
  }
  Arguments& Bool(bool value) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    values_.push_back(v);
    return *this;
  }
  Arguments& String(const Text& text) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_BSTR;
    std::wstring wide = util::Widen(text);
    v.bstrVal = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    values_.push_back(v);
    return *this;
  }
  // IDispatch takes the arguments last first.
  std::vector<VARIANT> Reversed() const { return std::vector<VARIANT>(values_.rbegin(), values_.rend()); }

 private:
  std::vector<VARIANT> values_;
};

// A failed call is logged by InvokeByName with the member's name.
HRESULT Invoke(IDispatch* object, const wchar_t* member, WORD flags, const Arguments& arguments,
               VARIANT* result) noexcept {
  std::vector<VARIANT> values;
  try {
    values = arguments.Reversed();
  } catch (...) {
    util::LogCaughtException("http::Invoke (arguments)");
    return E_OUTOFMEMORY;
  }
  return util::InvokeByName(object, member, flags, values.empty() ? nullptr : values.data(),
                            static_cast<UINT>(values.size()), result);
}

Bytes CopySafeArrayBytes(const VARIANT& body) {
  if (body.vt != (VT_ARRAY | VT_UI1) || body.parray == nullptr) {
    util::LogWarning("the response body is no byte array (variant type %u)", static_cast<unsigned>(body.vt));
    return {};
  }
  SAFEARRAY* array = body.parray;
  LONG lower = 0, upper = -1;
  HRESULT hr = ::SafeArrayGetLBound(array, 1, &lower);
  if (SUCCEEDED(hr)) hr = ::SafeArrayGetUBound(array, 1, &upper);
  if (FAILED(hr)) {
    util::LogFailure("SafeArrayGetBound", hr);
    return {};
  }
  if (upper < lower) return {};
  void* data = nullptr;
  hr = ::SafeArrayAccessData(array, &data);
  if (FAILED(hr)) {
    util::LogFailure("SafeArrayAccessData", hr);
    return {};
  }
  const auto* first = static_cast<const std::uint8_t*>(data);
  Bytes bytes(first, first + (static_cast<std::size_t>(upper - lower) + 1));
  ::SafeArrayUnaccessData(array);
  return bytes;
}

Bytes Exchange(const Text& address) {
  CLSID clsid;
  HRESULT hr = ::CLSIDFromProgID(L"WinHttp.WinHttpRequest.5.1", &clsid);
  if (FAILED(hr)) {
    util::LogFailure("CLSIDFromProgID WinHttp.WinHttpRequest.5.1", hr);
    return {};
  }
  util::ComPtr<IDispatch> request;
  hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                          request.put_void());
  if (FAILED(hr)) {
    util::LogFailure("CoCreateInstance WinHttp.WinHttpRequest.5.1", hr);
    return {};
  }

  // The outcome of each call is not examined (each failure is logged): a failed exchange
  // simply leaves an empty body.
  Invoke(request.get(), L"SetTimeouts", DISPATCH_METHOD,
         Arguments()
             .Long(kTimeoutMilliseconds)
             .Long(kTimeoutMilliseconds)
             .Long(kTimeoutMilliseconds)
             .Long(kTimeoutMilliseconds),
         nullptr);
  Invoke(request.get(), L"Open", DISPATCH_METHOD, Arguments().String("GET").String(address).Bool(false), nullptr);
  // Wine answers E_NOTIMPL here; Windows takes it.
  Invoke(request.get(), L"Option", DISPATCH_PROPERTYPUT,
         Arguments().Long(kOptionSslErrorIgnoreFlags).Long(kIgnoreCertificateErrors), nullptr);
  for (const auto& header : RequestHeaders(address)) {
    Invoke(request.get(), L"SetRequestHeader", DISPATCH_METHOD, Arguments().String(header.first).String(header.second),
           nullptr);
  }
  Invoke(request.get(), L"Send", DISPATCH_METHOD, Arguments().String(""), nullptr);

  VARIANT body;
  ::VariantInit(&body);
  Bytes bytes;
  if (SUCCEEDED(Invoke(request.get(), L"ResponseBody", DISPATCH_PROPERTYGET, Arguments(), &body)))
    bytes = CopySafeArrayBytes(body);
  ::VariantClear(&body);
  return bytes;
}

}  // namespace

std::vector<std::pair<Text, Text>> RequestHeaders(const Text& address) {
  const Text lines = kHeaderLinesBeforeReferer + address + kHeaderLinesAfterReferer;
  std::vector<std::pair<Text, Text>> headers;
  for (const Text& line : util::SplitText(lines, "\r\n")) {
    std::size_t colon = util::FindText(line, ":");
    if (colon == Text::npos) continue;
    headers.emplace_back(util::Trim(line.substr(0, colon)), util::Trim(line.substr(colon + 1)));
  }
  return headers;
}

Bytes SendHttpRequest(const Text& address) {
  // The apartment is this call's own: initialised here, uninitialised when it ends.
  util::ComApartment apartment(COINIT_APARTMENTTHREADED);
  if (FAILED(apartment.result())) util::LogFailure("CoInitializeEx", apartment.result());
  try {
    return Exchange(address);
  } catch (...) {
    util::LogCaughtException("SendHttpRequest");
    return {};
  }
}

}  // namespace http
