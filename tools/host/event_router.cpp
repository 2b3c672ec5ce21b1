#include "event_router.h"

#include <cstdio>

namespace zt::host {
namespace {

// The coclass's [default, source] interface.
HRESULT FindDefaultSource(ITypeInfo* coclass, com::ComPtr<ITypeInfo>& source, IID& iid) {
  TYPEATTR* attr = nullptr;
  HRESULT hr = coclass->GetTypeAttr(&attr);
  if (FAILED(hr)) return hr;
  WORD count = attr->typekind == TKIND_COCLASS ? attr->cImplTypes : 0;
  coclass->ReleaseTypeAttr(attr);
  for (UINT i = 0; i < count; ++i) {
    INT flags = 0;
    if (FAILED(coclass->GetImplTypeFlags(i, &flags))) continue;
    if ((flags & (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) !=
        (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) {
      continue;
    }
    HREFTYPE ref = 0;
    if (FAILED(coclass->GetRefTypeOfImplType(i, &ref))) continue;
    if (FAILED(coclass->GetRefTypeInfo(ref, source.Put()))) continue;
    TYPEATTR* sattr = nullptr;
    if (FAILED(source->GetTypeAttr(&sattr))) continue;
    iid = sattr->guid;
    source->ReleaseTypeAttr(sattr);
    return S_OK;
  }
  return S_FALSE;
}

}  // namespace

HRESULT EventRouter::Connect(IUnknown* control) {
  auto info = com::ComPtr<IUnknown>(control).As<IProvideClassInfo>(IID_IProvideClassInfo);
  if (!info) return S_FALSE;
  com::ComPtr<ITypeInfo> coclass;
  HRESULT hr = info->GetClassInfo(coclass.Put());
  if (FAILED(hr)) return hr;
  hr = FindDefaultSource(coclass.Get(), source_info_, source_iid_);
  if (hr != S_OK) return hr;
  auto container =
      com::ComPtr<IUnknown>(control).As<IConnectionPointContainer>(IID_IConnectionPointContainer);
  if (!container) return S_FALSE;
  hr = container->FindConnectionPoint(source_iid_, point_.Put());
  if (FAILED(hr)) return hr;
  hr = point_->Advise(static_cast<IDispatch*>(this), &cookie_);
  if (FAILED(hr)) point_.Reset();
  return hr;
}

void EventRouter::Disconnect() {
  if (point_) point_->Unadvise(cookie_);
  point_.Reset();
  source_info_.Reset();
  script_ = nullptr;
}

HRESULT EventRouter::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT EventRouter::GetTypeInfo(UINT, LCID, ITypeInfo** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT EventRouter::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

HRESULT EventRouter::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                            EXCEPINFO*, UINT*) {
  // After Quit no more script runs: the run is ending.
  if (!source_info_ || !script_ || state_->quit_requested) return S_OK;
  com::Bstr name;
  UINT found = 0;
  if (FAILED(source_info_->GetNames(id, name.Put(), 1, &found)) || found == 0) return S_OK;
  std::wstring handler = item_ + L"_" + std::wstring(name.Get(), SysStringLen(name.Get()));

  com::ComPtr<IDispatch> script = script_();
  if (!script) return S_OK;
  LPOLESTR names[] = {const_cast<LPOLESTR>(handler.c_str())};
  DISPID handler_id = DISPID_UNKNOWN;
  if (FAILED(script->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &handler_id))) {
    return S_OK;  // the script does not handle this event
  }
  DISPPARAMS none = {};
  EXCEPINFO ei = {};
  UINT arg_err = 0;
  com::Variant ignored;
  HRESULT hr = script->Invoke(handler_id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                              params ? params : &none, result ? result : ignored.Get(), &ei, &arg_err);
  if (ei.pfnDeferredFillIn) ei.pfnDeferredFillIn(&ei);
  if (FAILED(hr) && !state_->quit_requested && !state_->script_failed) {
    // An uncaught exception in a handler fails the run like one in the
    // global code; the engine may or may not have reported it already.
    state_->script_failed = true;
    wchar_t code[16];
    swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(ei.scode ? ei.scode : hr));
    std::wstring text = handler + L": ";
    text += ei.bstrDescription ? std::wstring(ei.bstrDescription) : L"error";
    output_->Line(text + L" (" + code + L")", true);
    PostQuitMessage(1);
  }
  SysFreeString(ei.bstrSource);
  SysFreeString(ei.bstrDescription);
  SysFreeString(ei.bstrHelpFile);
  return S_OK;
}

}  // namespace zt::host
