// OleControl: identity of the embedding interfaces, IOleObject, IOleControl,
// ISpecifyPropertyPages and IObjectSafety.
#include "platform/ole_control.h"
#include "platform/boundary.h"

#include <olectl.h>

namespace zt::ole {
namespace {

// A fresh control's extent: 350 × 200 pixels at 96 dots per inch.
constexpr LONG kDefaultWidthHimetric = 350 * 2540 / 96;
constexpr LONG kDefaultHeightHimetric = 200 * 2540 / 96;

constexpr DWORD kSafetyOptions = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;

}  // namespace

OleControl::OleControl() : extent_{kDefaultWidthHimetric, kDefaultHeightHimetric} {}

OleControl::~OleControl() { DestroyControlWindow(); }

void* OleControl::QueryOleInterface(REFIID iid) {
  if (iid == IID_IOleObject) return static_cast<IOleObject*>(this);
  if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject) return static_cast<IOleInPlaceObject*>(this);
  if (iid == IID_IOleInPlaceActiveObject) return static_cast<IOleInPlaceActiveObject*>(this);
  if (iid == IID_IOleControl) return static_cast<IOleControl*>(this);
  if (iid == IID_IViewObject || iid == IID_IViewObject2) return static_cast<IViewObject2*>(this);
  if (iid == IID_IPersist || iid == IID_IPersistStreamInit) return static_cast<IPersistStreamInit*>(this);
  if (iid == IID_IPersistPropertyBag) return static_cast<IPersistPropertyBag*>(this);
  if (iid == IID_IPersistStorage) return static_cast<IPersistStorage*>(this);
  if (iid == IID_ISpecifyPropertyPages) return static_cast<ISpecifyPropertyPages*>(this);
  if (iid == IID_IObjectSafety) return static_cast<IObjectSafety*>(this);
  if (iid == IID_IObjectWithSite) return static_cast<IObjectWithSite*>(this);
  return nullptr;
}

STDMETHODIMP OleControl::SetClientSite(IOleClientSite* site) {
  return win::ComBoundary([&]() -> HRESULT {
    client_site_ = com::ComPtr<IOleClientSite>(site);
    if (site) JudgeSite();
    return S_OK;
  });
}

STDMETHODIMP OleControl::GetClientSite(IOleClientSite** site) {
  if (!site) return E_POINTER;
  *site = client_site_.Get();
  if (*site) (*site)->AddRef();
  return S_OK;
}

STDMETHODIMP OleControl::Close(DWORD save_option) {
  return win::ComBoundary([&]() -> HRESULT {
    bool save = save_option == OLECLOSE_SAVEIFDIRTY ||
                (save_option == OLECLOSE_PROMPTSAVE && IsModified());
    if (save && IsModified() && client_site_) client_site_->SaveObject();
    // A control without a window may have modal windows up too.
    EndModalWindows();
    InPlaceDeactivate();
    if (advise_holder_) advise_holder_->SendOnClose();
    return S_OK;
  });
}

STDMETHODIMP OleControl::GetMoniker(DWORD, DWORD, IMoniker** out) {
  return win::ComBoundary([&]() -> HRESULT {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  });
}

STDMETHODIMP OleControl::GetClipboardData(DWORD, IDataObject** out) {
  return win::ComBoundary([&]() -> HRESULT {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  });
}

STDMETHODIMP OleControl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT rect) {
  return win::ComBoundary([&]() -> HRESULT {
    if (rect) pos_ = *rect;
    switch (verb) {
      case OLEIVERB_PRIMARY:
      case OLEIVERB_SHOW:
      case OLEIVERB_INPLACEACTIVATE:
        return ActivateInPlace(false, site);
      case OLEIVERB_UIACTIVATE:
        return ActivateInPlace(true, site);
      case OLEIVERB_HIDE:
        if (window_) ShowWindow(window_, SW_HIDE);
        return S_OK;
      case OLEIVERB_PROPERTIES:
        return ShowPropertyPages(parent);
      case OLEIVERB_OPEN:
      case OLEIVERB_DISCARDUNDOSTATE:
        return E_NOTIMPL;
      default:
        // Unknown positive verbs do the primary one, as OLE asks.
        if (verb > 0) {
          HRESULT hr = ActivateInPlace(false, site);
          return FAILED(hr) ? hr : OLEOBJ_S_INVALIDVERB;
        }
        return E_NOTIMPL;
    }
  });
}

STDMETHODIMP OleControl::EnumVerbs(IEnumOLEVERB** out) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!out) return E_POINTER;
    *out = nullptr;
    return OLE_S_USEREG;  // the registered verbs
  });
}

STDMETHODIMP OleControl::GetUserClassID(CLSID* clsid) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!clsid) return E_POINTER;
    *clsid = ControlClassId();
    return S_OK;
  });
}

STDMETHODIMP OleControl::GetUserType(DWORD, LPOLESTR* out) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!out) return E_POINTER;
    *out = nullptr;
    return OLE_S_USEREG;
  });
}

STDMETHODIMP OleControl::SetExtent(DWORD aspect, SIZEL* size) {
  return win::ComBoundary([&]() -> HRESULT {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_INVALIDARG;
    if (size->cx < 0 || size->cy < 0) return E_INVALIDARG;
    if (size->cx != extent_.cx || size->cy != extent_.cy) {
      extent_ = *size;
      SetModified(true);
      NotifyViewChange();
    }
    return S_OK;
  });
}

STDMETHODIMP OleControl::GetExtent(DWORD aspect, SIZEL* size) {
  return win::ComBoundary([&]() -> HRESULT {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    *size = extent_;
    return S_OK;
  });
}

STDMETHODIMP OleControl::Advise(IAdviseSink* sink, DWORD* cookie) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!advise_holder_) {
      HRESULT hr = CreateOleAdviseHolder(advise_holder_.Put());
      if (FAILED(hr)) return hr;
    }
    return advise_holder_->Advise(sink, cookie);
  });
}

STDMETHODIMP OleControl::Unadvise(DWORD cookie) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!advise_holder_) return OLE_E_NOCONNECTION;
    return advise_holder_->Unadvise(cookie);
  });
}

STDMETHODIMP OleControl::EnumAdvise(IEnumSTATDATA** out) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!advise_holder_) return S_OK;
    return advise_holder_->EnumAdvise(out);
  });
}

STDMETHODIMP OleControl::GetMiscStatus(DWORD aspect, DWORD* status) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!status) return E_POINTER;
    *status = aspect == DVASPECT_CONTENT ? kMiscStatus : 0;
    return S_OK;
  });
}

STDMETHODIMP OleControl::GetControlInfo(CONTROLINFO* info) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!info) return E_POINTER;
    info->cb = sizeof *info;
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
  });
}

STDMETHODIMP OleControl::FreezeEvents(BOOL freeze) {
  return win::ComBoundary([&]() -> HRESULT {
    if (freeze) {
      ++freeze_count_;
    } else if (freeze_count_ > 0) {
      --freeze_count_;
    }
    return S_OK;
  });
}

STDMETHODIMP OleControl::GetPages(CAUUID* pages) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!pages) return E_POINTER;
    std::vector<CLSID> ids = PropertyPageIds();
    pages->cElems = 0;
    pages->pElems = nullptr;
    if (ids.empty()) return S_OK;
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(ids.size() * sizeof(GUID)));
    if (!pages->pElems) return E_OUTOFMEMORY;
    for (size_t i = 0; i < ids.size(); ++i) pages->pElems[i] = ids[i];
    pages->cElems = static_cast<ULONG>(ids.size());
    return S_OK;
  });
}

HRESULT OleControl::ShowPropertyPages(HWND parent) {
  std::vector<CLSID> ids = PropertyPageIds();
  if (ids.empty()) return OLEOBJ_S_CANNOT_DOVERB_NOW;
  // A container that has a frame of its own shows it.
  if (auto control_site = client_site_.As<IOleControlSite>(IID_IOleControlSite)) {
    if (control_site->ShowPropertyFrame() == S_OK) return S_OK;
  }
  IUnknown* self = static_cast<IOleObject*>(this);
  // The container may let go of the control while the frame is up.
  com::ComPtr<IUnknown> keepAlive(self);
  ModalScope modal(*this);
  return OleCreatePropertyFrame(parent, 0, 0, nullptr, 1, &self, static_cast<ULONG>(ids.size()), ids.data(),
                                GetUserDefaultLCID(), 0, nullptr);
}

bool OleControl::SupportsInterface(REFIID iid) {
  com::ComPtr<IUnknown> probe;
  return SUCCEEDED(static_cast<IOleObject*>(this)->QueryInterface(iid, probe.PutVoid()));
}

STDMETHODIMP OleControl::GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!supported || !enabled) return E_POINTER;
    *supported = *enabled = 0;
    if (!SupportsInterface(iid)) return E_NOINTERFACE;
    // Scripting goes through the dispatch interface, initialising through the
    // persistence interfaces; the control is safe for both, on pages it allows.
    if (!JudgeSite()) return S_OK;
    *supported = kSafetyOptions;
    *enabled = safety_enabled_ & kSafetyOptions;
    return S_OK;
  });
}

STDMETHODIMP OleControl::SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!SupportsInterface(iid)) return E_NOINTERFACE;
    if (mask & ~kSafetyOptions) return E_FAIL;  // an option the control does not offer
    // A page the control does not allow gets no safety: the browser then
    // neither initialises the control from the page nor lets its script in.
    if ((enabled & mask) != 0 && !JudgeSite()) {
      safety_enabled_ &= ~mask;
      return E_FAIL;
    }
    safety_enabled_ = (safety_enabled_ & ~mask) | (enabled & mask);
    return S_OK;
  });
}

}  // namespace zt::ole
