#include "script_site.h"

#include <cstdio>
#include <cwctype>

namespace zt::host {
namespace {

bool SameName(const wchar_t* a, const wchar_t* b) {
  for (; *a && *b; ++a, ++b) {
    if (std::towlower(*a) != std::towlower(*b)) return false;
  }
  return *a == *b;
}

std::wstring Hex(HRESULT hr) {
  wchar_t buf[16];
  swprintf(buf, 16, L"0x%08lX", static_cast<unsigned long>(hr));
  return buf;
}

std::wstring FromBstr(BSTR b) { return b ? std::wstring(b, SysStringLen(b)) : std::wstring(); }

}  // namespace

HRESULT ScriptSite::Start(const wchar_t* language) {
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(language, &clsid);
  if (FAILED(hr)) return hr;
  hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript, engine_.PutVoid());
  if (FAILED(hr)) return hr;
  parse_ = engine_.As<IActiveScriptParse>(__uuidof(IActiveScriptParse));
  if (!parse_) return E_NOINTERFACE;
  hr = engine_->SetScriptSite(this);
  if (FAILED(hr)) return hr;
  return parse_->InitNew();
}

HRESULT ScriptSite::AddItem(const std::wstring& name, IUnknown* object, ITypeInfo* type_info) {
  items_.push_back(Item{name, com::ComPtr<IUnknown>(object), com::ComPtr<ITypeInfo>(type_info)});
  return engine_->AddNamedItem(name.c_str(), SCRIPTITEM_ISVISIBLE);
}

HRESULT ScriptSite::Run(const std::wstring& text) {
  EXCEPINFO ei = {};
  HRESULT hr = parse_->ParseScriptText(text.c_str(), nullptr, nullptr, nullptr, 0, 0,
                                       SCRIPTTEXT_ISVISIBLE, nullptr, &ei);
  SysFreeString(ei.bstrSource);
  SysFreeString(ei.bstrDescription);
  SysFreeString(ei.bstrHelpFile);
  if (FAILED(hr)) return hr;
  // Connected: global code runs and the engine keeps the functions alive
  // for the events that arrive later.
  return engine_->SetScriptState(SCRIPTSTATE_CONNECTED);
}

com::ComPtr<IDispatch> ScriptSite::ScriptDispatch() {
  com::ComPtr<IDispatch> d;
  if (engine_) engine_->GetScriptDispatch(nullptr, d.Put());
  return d;
}

void ScriptSite::Close() {
  parse_.Reset();
  if (engine_) {
    engine_->Close();
    engine_.Reset();
  }
  items_.clear();
}

HRESULT ScriptSite::GetLCID(LCID* lcid) {
  if (!lcid) return E_POINTER;
  *lcid = GetUserDefaultLCID();
  return S_OK;
}

HRESULT ScriptSite::GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** unk, ITypeInfo** ti) {
  if (unk) *unk = nullptr;
  if (ti) *ti = nullptr;
  for (const Item& item : items_) {
    if (!SameName(item.name.c_str(), name)) continue;
    if ((mask & SCRIPTINFO_ITYPEINFO) && ti) {
      if (!item.type_info) return TYPE_E_ELEMENTNOTFOUND;
      *ti = item.type_info.Get();
      (*ti)->AddRef();
    }
    if ((mask & SCRIPTINFO_IUNKNOWN) && unk) {
      *unk = item.object.Get();
      (*unk)->AddRef();
    }
    return S_OK;
  }
  return TYPE_E_ELEMENTNOTFOUND;
}

HRESULT ScriptSite::GetDocVersionString(BSTR* version) {
  if (version) *version = nullptr;
  return E_NOTIMPL;
}

HRESULT ScriptSite::OnScriptTerminate(const VARIANT*, const EXCEPINFO*) { return S_OK; }

HRESULT ScriptSite::OnScriptError(IActiveScriptError* error) {
  // The exception Quit raises to unwind the script is the requested end.
  if (state_->quit_requested) return S_OK;
  state_->script_failed = true;
  error_reported_ = true;
  EXCEPINFO ei = {};
  error->GetExceptionInfo(&ei);
  if (ei.pfnDeferredFillIn) ei.pfnDeferredFillIn(&ei);
  DWORD context = 0;
  ULONG line = 0;
  LONG column = 0;
  error->GetSourcePosition(&context, &line, &column);
  std::wstring description = FromBstr(ei.bstrDescription);
  std::wstring source = FromBstr(ei.bstrSource);
  HRESULT code = ei.scode ? ei.scode : (ei.wCode ? MAKE_HRESULT(1, FACILITY_CONTROL, ei.wCode) : E_FAIL);
  wchar_t pos[64];
  swprintf(pos, 64, L"(%lu, %ld)", static_cast<unsigned long>(line + 1), static_cast<long>(column + 1));
  std::wstring text = script_name_ + pos + L": ";
  if (!source.empty()) text += source + L": ";
  text += description.empty() ? L"error" : description;
  text += L" (" + Hex(code) + L")";
  output_->Line(text, true);
  SysFreeString(ei.bstrSource);
  SysFreeString(ei.bstrDescription);
  SysFreeString(ei.bstrHelpFile);
  return S_OK;
}

HRESULT ScriptSite::GetWindow(HWND* out) {
  if (!out) return E_POINTER;
  *out = window_;
  return S_OK;
}

void ScriptSite::ReportFailure(const std::wstring& what, HRESULT hr) {
  error_reported_ = true;
  output_->Line(script_name_ + L": " + what + L" (" + Hex(hr) + L")", true);
}

}  // namespace zt::host
