// The container side of an embedded control, as a browser provides it: the
// client site, the in-place site and frame, the control site and the
// ambient properties, all for one control in one window.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <oleidl.h>

#include <string>

#include "platform/bstr.h"
#include "host_com.h"
#include "platform/com_ptr.h"

namespace zt::host {

class ControlSite final
    : public HostComObject<IOleClientSite, IOleInPlaceSite, IOleInPlaceFrame, IOleControlSite, IDispatch> {
 public:
  ControlSite(HWND window, std::wstring display_name)
      : window_(window), display_name_(std::move(display_name)) {}
  ControlSite(const ControlSite&) = delete;
  ControlSite& operator=(const ControlSite&) = delete;

  // Acts as a browser showing a page: the container's moniker names url
  // (none when empty), and the control must accept IObjectSafety before it
  // is initialised (Embed) and scripted (SafeToScript).
  void PresentPage(std::wstring url) {
    page_safety_ = true;
    page_url_ = std::move(url);
  }
  // Initialises the control's properties from bag (InitNew when null) and,
  // when it is an OLE object, activates it in place over rect. A control
  // without IOleObject is left windowless. E_ACCESSDENIED: a page is
  // presented and the control refused to be safe to initialise there.
  HRESULT Embed(IUnknown* control, IPropertyBag* bag, const RECT& rect, std::wstring* step);
  // Without a page presented, true; otherwise whether the control accepts
  // being scripted by untrusted callers (IObjectSafety on IDispatch).
  bool SafeToScript(IUnknown* control) const;
  // Deactivates, closes and lets go of the control.
  void Unembed();
  // Follows the container window's client area.
  void Resize(const RECT& rect);
  // Gives the active control the first look at a keyboard message.
  bool TranslateKey(MSG* msg);
  // Moves the focus into the control's window, if it has one.
  void FocusControl();
  bool InPlaceActive() const { return in_place_active_; }

  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** out) override;
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** out) override;
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }
  // IOleWindow
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) override;
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override;
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                             LPRECT pos, LPRECT clip,
                                             LPOLEINPLACEFRAMEINFO info) override;
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override;
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT rect) override;
  // IOleInPlaceUIWindow
  HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* obj, LPCOLESTR) override;
  // IOleInPlaceFrame
  HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
  // A control shows a modal window: the frame counts the requests so that
  // it could hold back its own modeless UI meanwhile.
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override {
    modeless_off_ += enable ? -1 : 1;
    return S_OK;
  }
  int ModelessOff() const { return modeless_off_; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }
  // IOleControlSite
  HRESULT STDMETHODCALLTYPE OnControlInfoChanged() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE LockInPlaceActive(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetExtendedControl(IDispatch** out) override;
  HRESULT STDMETHODCALLTYPE TransformCoords(POINTL* himetric, POINTF* container, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, DWORD) override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE OnFocus(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ShowPropertyFrame() override { return E_NOTIMPL; }
  // IDispatch: the ambient properties
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** out) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result,
                                   EXCEPINFO*, UINT*) override;

 protected:
  // The base interfaces of the site's interfaces.
  void* QueryExtra(REFIID iid) override {
    if (iid == IID_IOleWindow) return static_cast<IOleInPlaceSite*>(this);
    if (iid == IID_IOleInPlaceUIWindow) return static_cast<IOleInPlaceFrame*>(this);
    return nullptr;
  }

 private:
  ~ControlSite() = default;

  HWND window_;
  std::wstring display_name_;
  RECT rect_ = {};
  bool in_place_active_ = false;
  com::ComPtr<IOleObject> object_;
  com::ComPtr<IOleInPlaceObject> in_place_;
  com::ComPtr<IOleInPlaceActiveObject> active_;
  bool page_safety_ = false;
  std::wstring page_url_;
  int modeless_off_ = 0;
};

}  // namespace zt::host
