#include "control_site.h"

#include <objsafe.h>
#include <olectl.h>
#include <urlmon.h>

namespace zt::host {
namespace {

// HIMETRIC (0.01 mm) to and from pixels of the screen.
LONG PixelsToHimetric(LONG px, int dpi) { return MulDiv(px, 2540, dpi); }
LONG HimetricToPixels(LONG hm, int dpi) { return MulDiv(hm, dpi, 2540); }

void ScreenDpi(int& x, int& y) {
  HDC dc = GetDC(nullptr);
  x = GetDeviceCaps(dc, LOGPIXELSX);
  y = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
}

// Whether control accepts to be safe for option on iid, as a browser asks.
bool AcceptsSafety(IUnknown* control, REFIID iid, DWORD option) {
  auto safety = com::ComPtr<IUnknown>(control).As<IObjectSafety>(IID_IObjectSafety);
  if (!safety) return false;
  DWORD supported = 0, enabled = 0;
  if (FAILED(safety->GetInterfaceSafetyOptions(iid, &supported, &enabled)) || !(supported & option)) return false;
  return SUCCEEDED(safety->SetInterfaceSafetyOptions(iid, option, option));
}

}  // namespace

bool ControlSite::SafeToScript(IUnknown* control) const {
  return !page_safety_ || AcceptsSafety(control, IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER);
}

HRESULT ControlSite::Embed(IUnknown* control, IPropertyBag* bag, const RECT& rect, std::wstring* step) {
  rect_ = rect;
  object_ = com::ComPtr<IUnknown>(control).As<IOleObject>(IID_IOleObject);
  DWORD misc = 0;
  if (object_) object_->GetMiscStatus(DVASPECT_CONTENT, &misc);

  bool site_first = object_ && (misc & OLEMISC_SETCLIENTSITEFIRST);
  if (site_first) {
    *step = L"IOleObject::SetClientSite";
    HRESULT hr = object_->SetClientSite(this);
    if (FAILED(hr)) return hr;
  }

  if (page_safety_ &&
      !AcceptsSafety(control, IID_IPersistPropertyBag, INTERFACESAFE_FOR_UNTRUSTED_DATA)) {
    *step = L"IObjectSafety (the control is not safe to initialise on this page)";
    return E_ACCESSDENIED;
  }

  // Properties: from the page's parameters when there are any, else new.
  auto bag_persist = com::ComPtr<IUnknown>(control).As<IPersistPropertyBag>(IID_IPersistPropertyBag);
  HRESULT hr = S_OK;
  if (bag_persist) {
    *step = bag ? L"IPersistPropertyBag::Load" : L"IPersistPropertyBag::InitNew";
    hr = bag ? bag_persist->Load(bag, nullptr) : bag_persist->InitNew();
  } else if (auto stream_persist =
                 com::ComPtr<IUnknown>(control).As<IPersistStreamInit>(IID_IPersistStreamInit)) {
    if (bag) {
      *step = L"IPersistPropertyBag (parameters given, but the object cannot take them)";
      return E_NOINTERFACE;
    }
    *step = L"IPersistStreamInit::InitNew";
    hr = stream_persist->InitNew();
  } else if (bag) {
    *step = L"IPersistPropertyBag (parameters given, but the object cannot take them)";
    return E_NOINTERFACE;
  }
  if (FAILED(hr)) return hr;
  if (!object_) return S_OK;  // windowless: nothing to activate

  if (!site_first) {
    *step = L"IOleObject::SetClientSite";
    hr = object_->SetClientSite(this);
    if (FAILED(hr)) return hr;
  }
  object_->SetHostNames(L"ztupload-host", nullptr);

  int dpi_x, dpi_y;
  ScreenDpi(dpi_x, dpi_y);
  SIZEL extent = {PixelsToHimetric(rect.right - rect.left, dpi_x),
                  PixelsToHimetric(rect.bottom - rect.top, dpi_y)};
  object_->SetExtent(DVASPECT_CONTENT, &extent);

  *step = L"IOleObject::DoVerb(OLEIVERB_INPLACEACTIVATE)";
  hr = object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, window_, &rect_);
  if (FAILED(hr)) return hr;
  object_->DoVerb(OLEIVERB_SHOW, nullptr, this, 0, window_, &rect_);
  in_place_ = object_.As<IOleInPlaceObject>(IID_IOleInPlaceObject);
  return S_OK;
}

void ControlSite::Unembed() {
  if (in_place_) in_place_->InPlaceDeactivate();
  in_place_.Reset();
  active_.Reset();
  if (object_) {
    object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
  }
  object_.Reset();
}

void ControlSite::Resize(const RECT& rect) {
  rect_ = rect;
  if (object_) {
    int dpi_x, dpi_y;
    ScreenDpi(dpi_x, dpi_y);
    SIZEL extent = {PixelsToHimetric(rect.right - rect.left, dpi_x),
                    PixelsToHimetric(rect.bottom - rect.top, dpi_y)};
    object_->SetExtent(DVASPECT_CONTENT, &extent);
  }
  if (in_place_) in_place_->SetObjectRects(&rect_, &rect_);
}

bool ControlSite::TranslateKey(MSG* msg) {
  if (!active_ || msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return false;
  return active_->TranslateAccelerator(msg) == S_OK;
}

void ControlSite::FocusControl() {
  HWND child = nullptr;
  if (in_place_ && SUCCEEDED(in_place_->GetWindow(&child)) && child) SetFocus(child);
}

HRESULT ControlSite::GetMoniker(DWORD, DWORD which, IMoniker** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  // The page's address, as a browser's document moniker gives it.
  if (which != OLEWHICHMK_CONTAINER || page_url_.empty()) return E_NOTIMPL;
  return CreateURLMonikerEx(nullptr, page_url_.c_str(), out, URL_MK_UNIFORM);
}

HRESULT ControlSite::GetContainer(IOleContainer** out) {
  if (out) *out = nullptr;
  return E_NOINTERFACE;
}

HRESULT ControlSite::GetWindow(HWND* out) {
  if (!out) return E_POINTER;
  *out = window_;
  return S_OK;
}

HRESULT ControlSite::OnInPlaceActivate() {
  in_place_active_ = true;
  return S_OK;
}

HRESULT ControlSite::OnInPlaceDeactivate() {
  in_place_active_ = false;
  return S_OK;
}

HRESULT ControlSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                      LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
  if (!frame || !doc || !pos || !clip || !info) return E_POINTER;
  *frame = static_cast<IOleInPlaceFrame*>(this);
  AddRef();
  *doc = nullptr;  // the frame is the only window
  *pos = rect_;
  *clip = rect_;
  info->fMDIApp = FALSE;
  info->hwndFrame = window_;
  info->haccel = nullptr;
  info->cAccelEntries = 0;
  return S_OK;
}

HRESULT ControlSite::OnPosRectChange(LPCRECT rect) {
  if (!rect) return E_POINTER;
  rect_ = *rect;
  if (in_place_) in_place_->SetObjectRects(&rect_, &rect_);
  return S_OK;
}

HRESULT ControlSite::SetActiveObject(IOleInPlaceActiveObject* obj, LPCOLESTR) {
  active_ = com::ComPtr<IOleInPlaceActiveObject>(obj);
  return S_OK;
}

HRESULT ControlSite::GetExtendedControl(IDispatch** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT ControlSite::TransformCoords(POINTL* himetric, POINTF* container, DWORD flags) {
  if (!himetric || !container) return E_POINTER;
  int dpi_x, dpi_y;
  ScreenDpi(dpi_x, dpi_y);
  if (flags & XFORMCOORDS_HIMETRICTOCONTAINER) {
    container->x = static_cast<float>(HimetricToPixels(himetric->x, dpi_x));
    container->y = static_cast<float>(HimetricToPixels(himetric->y, dpi_y));
  } else if (flags & XFORMCOORDS_CONTAINERTOHIMETRIC) {
    himetric->x = PixelsToHimetric(static_cast<LONG>(container->x), dpi_x);
    himetric->y = PixelsToHimetric(static_cast<LONG>(container->y), dpi_y);
  } else {
    return E_INVALIDARG;
  }
  return S_OK;
}

HRESULT ControlSite::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT ControlSite::GetTypeInfo(UINT, LCID, ITypeInfo** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT ControlSite::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

HRESULT ControlSite::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result,
                            EXCEPINFO*, UINT*) {
  if (!(flags & DISPATCH_PROPERTYGET) || !result) return DISP_E_MEMBERNOTFOUND;
  VariantInit(result);
  auto set_bool = [result](bool b) {
    result->vt = VT_BOOL;
    result->boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
  };
  switch (id) {
    case DISPID_AMBIENT_USERMODE:  // running, not being designed
    case DISPID_AMBIENT_AUTOCLIP:
      set_bool(true);
      return S_OK;
    case DISPID_AMBIENT_UIDEAD:
    case DISPID_AMBIENT_SHOWHATCHING:
    case DISPID_AMBIENT_SHOWGRABHANDLES:
    case DISPID_AMBIENT_MESSAGEREFLECT:
    case DISPID_AMBIENT_SUPPORTSMNEMONICS:
      set_bool(false);
      return S_OK;
    case DISPID_AMBIENT_LOCALEID:
      result->vt = VT_I4;
      result->lVal = static_cast<LONG>(GetUserDefaultLCID());
      return S_OK;
    case DISPID_AMBIENT_DISPLAYNAME:
      result->vt = VT_BSTR;
      result->bstrVal = SysAllocString(display_name_.c_str());
      return result->bstrVal ? S_OK : E_OUTOFMEMORY;
    case DISPID_AMBIENT_BACKCOLOR:
      result->vt = VT_I4;
      result->lVal = static_cast<LONG>(0x80000000 | COLOR_WINDOW);  // a system colour
      return S_OK;
    case DISPID_AMBIENT_FORECOLOR:
      result->vt = VT_I4;
      result->lVal = static_cast<LONG>(0x80000000 | COLOR_WINDOWTEXT);
      return S_OK;
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

}  // namespace zt::host
