// Late-bound calls: what reaches IDispatch::Invoke, and a real automation object.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/log_capture.h"
#include "util/com_dispatch.h"
#include "util/unique_resource.h"

namespace {

// Records the calls it gets; knows the members in its table. COM interfaces have no virtual
// destructor by design (objects go through Release); this one lives on the test's stack.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class RecordingDispatch final : public IDispatch {
 public:
  struct Call {
    DISPID id = 0;
    WORD kind = 0;
    std::vector<std::wstring> arguments;  // as given, texts as they are, integers as "#n"
    std::vector<DISPID> named;
  };

  std::map<std::wstring, DISPID> members{{L"Open", 1}, {L"TargetPath", 2}, {L"WindowStyle", 3}};
  std::vector<Call> calls;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override {
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
      *object = static_cast<IDispatch*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return 2; }
  ULONG STDMETHODCALLTYPE Release() noexcept override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept override {
    if (count != 1) return E_INVALIDARG;
    auto found = members.find(names[0]);
    if (found == members.end()) return DISP_E_UNKNOWNNAME;
    ids[0] = found->second;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD kind, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO*, UINT*) noexcept override {
    Call call;
    call.id = id;
    call.kind = kind;
    for (UINT i = 0; i < params->cArgs; ++i) {
      const VARIANT& v = params->rgvarg[i];
      if (v.vt == VT_BSTR) call.arguments.push_back(std::wstring(v.bstrVal, SysStringLen(v.bstrVal)));
      else if (v.vt == VT_I4) call.arguments.push_back(L"#" + std::to_wstring(v.lVal));
      else call.arguments.push_back(L"?");
    }
    for (UINT i = 0; i < params->cNamedArgs; ++i) call.named.push_back(params->rgdispidNamedArgs[i]);
    calls.push_back(call);
    if (result) {
      VariantInit(result);
      result->vt = VT_I4;
      result->lVal = 99;
    }
    return S_OK;
  }
};
#pragma GCC diagnostic pop

VARIANT TextArgument(BSTR text) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = text;
  return v;
}

TEST(ComDispatch, PropertyPutsPassTheValueAsThePutArgument) {
  RecordingDispatch object;
  // 快捷方式 (shortcut): GBK in, UTF-16 out.
  EXPECT_EQ(util::PutText(&object, L"TargetPath", "C:\\\xbf\xec\xbd\xdd.exe"), S_OK);
  EXPECT_EQ(util::PutInteger(&object, L"WindowStyle", 7), S_OK);
  EXPECT_EQ(util::PutText(&object, L"TargetPath", ""), S_OK);
  ASSERT_EQ(object.calls.size(), 3u);
  struct Expected { DISPID id; std::wstring argument; };
  const Expected expected[] = {{2, L"C:\\\u5feb\u6377.exe"}, {3, L"#7"}, {2, L""}};
  for (std::size_t i = 0; i < 3; ++i) {
    const RecordingDispatch::Call& call = object.calls[i];
    EXPECT_EQ(call.id, expected[i].id);
    EXPECT_EQ(call.kind, DISPATCH_PROPERTYPUT);
    EXPECT_EQ(call.arguments, std::vector<std::wstring>{expected[i].argument});
    EXPECT_EQ(call.named, std::vector<DISPID>{DISPID_PROPERTYPUT});
  }
}

TEST(ComDispatch, MethodArgumentsArePassedAsGivenWithoutNamedArguments) {
  RecordingDispatch object;
  util::Bstr method("GET"), address("http://127.0.0.1/");
  VARIANT async;
  VariantInit(&async);
  async.vt = VT_I4;
  async.lVal = 0;
  // Open(method, address, async), last parameter first.
  VARIANT arguments[] = {async, TextArgument(address.get()), TextArgument(method.get())};
  VARIANT result;
  VariantInit(&result);
  EXPECT_EQ(util::InvokeByName(&object, L"Open", DISPATCH_METHOD, arguments, 3, &result), S_OK);
  ASSERT_EQ(object.calls.size(), 1u);
  EXPECT_EQ(object.calls[0].arguments, (std::vector<std::wstring>{L"#0", L"http://127.0.0.1/", L"GET"}));
  EXPECT_TRUE(object.calls[0].named.empty());
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(result.lVal, 99);
  EXPECT_EQ(util::InvokeByName(&object, L"Open", DISPATCH_METHOD, nullptr, 0, nullptr), S_OK);
  EXPECT_TRUE(object.calls[1].arguments.empty());
}

TEST(ComDispatch, FailuresAreReturnedAndLoggedWithTheMember) {
  testlog::LogCapture log;
  RecordingDispatch object;
  EXPECT_EQ(util::InvokeByName(&object, L"Frobnicate", DISPATCH_METHOD, nullptr, 0, nullptr), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(util::InvokeByName(nullptr, L"Open", DISPATCH_METHOD, nullptr, 0, nullptr), E_POINTER);
  EXPECT_TRUE(object.calls.empty());
  EXPECT_TRUE(log.Contains("IDispatch::GetIDsOfNames Frobnicate failed: code ")) << log.Lines();
}

TEST(ComDispatch, DrivesARealAutomationObject) {
  util::ComApartment apartment;
  CLSID clsid;
  ASSERT_EQ(CLSIDFromProgID(L"Scripting.Dictionary", &clsid), S_OK);
  util::ComPtr<IDispatch> dictionary;
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, dictionary.put_void()), S_OK);
  // Text comparison (1) must be set while the dictionary is empty.
  ASSERT_EQ(util::PutInteger(dictionary.get(), L"CompareMode", 1), S_OK);
  util::Bstr key("Key"), item("\xce\xa2\xd0\xc5");  // 微信
  // Add(key, item), last parameter first.
  VARIANT addArguments[] = {TextArgument(item.get()), TextArgument(key.get())};
  ASSERT_EQ(util::InvokeByName(dictionary.get(), L"Add", DISPATCH_METHOD, addArguments, 2, nullptr), S_OK);

  util::Bstr otherCase("KEY");
  VARIANT itemArgument[] = {TextArgument(otherCase.get())};
  VARIANT found;
  VariantInit(&found);
  ASSERT_EQ(util::InvokeByName(dictionary.get(), L"Item", DISPATCH_PROPERTYGET, itemArgument, 1, &found), S_OK);
  ASSERT_EQ(found.vt, VT_BSTR);
  EXPECT_EQ(std::wstring(found.bstrVal), L"\u5fae\u4fe1");
  VariantClear(&found);

  VARIANT mode;
  VariantInit(&mode);
  ASSERT_EQ(util::InvokeByName(dictionary.get(), L"CompareMode", DISPATCH_PROPERTYGET, nullptr, 0, &mode), S_OK);
  EXPECT_EQ(mode.vt, VT_I4);
  EXPECT_EQ(mode.lVal, 1);
}

}  // namespace
