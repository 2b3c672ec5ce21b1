// OleControl: the control's image for a container that draws it itself
// (IViewObject2), and the view change notification.
#include "platform/ole_control.h"
#include "platform/boundary.h"

namespace zt::ole {

void OleControl::DrawWithoutWindow(HDC dc, const RECT& bounds) {
  FillRect(dc, &bounds, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  HGDIOBJ old_pen = SelectObject(dc, GetStockObject(BLACK_PEN));
  HGDIOBJ old_brush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
  Ellipse(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
  SelectObject(dc, old_brush);
  SelectObject(dc, old_pen);
}

void OleControl::NotifyViewChange() {
  if (view_sink_ && (view_aspects_ & DVASPECT_CONTENT)) view_sink_->OnViewChange(DVASPECT_CONTENT, -1);
  if (view_sink_ && (view_flags_ & ADVF_ONLYONCE)) view_sink_.Reset();
}

STDMETHODIMP OleControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds,
                              LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!dc) return E_INVALIDARG;
  RECT r;
  if (bounds) {
    r = {bounds->left, bounds->top, bounds->right, bounds->bottom};
  } else if (window_) {
    GetClientRect(window_, &r);  // an active control draws where it is
  } else {
    return E_INVALIDARG;
  }
  if (window_ && IsWindowVisible(window_)) {
    // The live window (the list and all) printed into the container's DC.
    int saved = SaveDC(dc);
    SetViewportOrgEx(dc, r.left, r.top, nullptr);
    SendMessageW(window_, WM_PRINT, reinterpret_cast<WPARAM>(dc),
                 PRF_CLIENT | PRF_CHILDREN | PRF_ERASEBKGND | PRF_NONCLIENT);
    RestoreDC(dc, saved);
  } else {
    DrawWithoutWindow(dc, r);
  }
  return S_OK;
}

STDMETHODIMP OleControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** out) {
  if (out) *out = nullptr;
  return S_FALSE;  // any colours
}

STDMETHODIMP OleControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
  return win::ComBoundary([&]() -> HRESULT {
    view_aspects_ = aspects;
    view_flags_ = flags;
    view_sink_ = com::ComPtr<IAdviseSink>(sink);
    if (sink && (flags & ADVF_PRIMEFIRST)) NotifyViewChange();
    return S_OK;
  });
}

STDMETHODIMP OleControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  if (aspects) *aspects = view_aspects_;
  if (flags) *flags = view_flags_;
  if (sink) {
    *sink = view_sink_.Get();
    if (*sink) (*sink)->AddRef();
  }
  return S_OK;
}

STDMETHODIMP OleControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
  return win::ComBoundary([&]() -> HRESULT {
    return GetExtent(aspect, size);
  });
}

}  // namespace zt::ole
