#pragma once
// A property bag in memory, as a container keeps a control's saved
// properties, and a page's <param> strings.
#include <windows.h>
#include <ocidl.h>
#include <oleauto.h>

#include <map>
#include <string>

namespace zt::test {

// A bag that keeps what it is given, by exact name.
class MemoryBag final : public IPropertyBag {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IPropertyBag) {
      *out = this;
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
    auto it = values.find(name);
    if (it == values.end()) return E_INVALIDARG;
    return VariantCopy(value, &it->second);
  }
  STDMETHODIMP Write(LPCOLESTR name, VARIANT* value) override {
    VARIANT copy;
    VariantInit(&copy);
    VariantCopy(&copy, value);
    VariantClear(&values[name]);
    values[name] = copy;
    return S_OK;
  }
  // A <param name=... value=...>: always a string.
  void Param(const wchar_t* name, const wchar_t* text) {
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text);
    VariantClear(&values[name]);
    values[name] = v;
  }
  ~MemoryBag() {
    for (auto& kv : values) VariantClear(&kv.second);
  }
  std::map<std::wstring, VARIANT> values;
};

}  // namespace zt::test
