// The embedding side of an ActiveX control, written once: IOleObject,
// IOleInPlaceObject, IOleInPlaceActiveObject, IOleControl, IViewObject2,
// IPersistStreamInit, IPersistPropertyBag, IPersistStorage,
// ISpecifyPropertyPages, IObjectSafety and IObjectWithSite, with the
// control's window (a
// "STATIC" window subclassed on in-place activation and sized with the
// site).
//
// The control derives from OleControl beside its other bases and supplies
// the hooks below. OleControl names IOleObject as its interface for the
// object's QueryInterface; the control's extra look-up must call
// QueryOleInterface for the others. Reference counting stays the
// control's.
#pragma once

#include <windows.h>
#include <objsafe.h>
#include <ocidl.h>
#include <oleidl.h>

#include <vector>

#include "platform/bstr.h"
#include "platform/com_ptr.h"
#include "platform/modal_window_watch.h"
#include "platform/persist_exchange.h"
#include "platform/thread_bound.h"
#include "platform/window_hook.h"

namespace zt::ole {

class OleControl : public IOleObject,
                   public IOleInPlaceObject,
                   public IOleInPlaceActiveObject,
                   public IOleControl,
                   public IViewObject2,
                   public IPersistStreamInit,
                   public IPersistPropertyBag,
                   public IPersistStorage,
                   public ISpecifyPropertyPages,
                   public IObjectSafety,
                   public IObjectWithSite,
                   protected win::ThreadBound {
 public:
  using Interface = IOleObject;

  // Misc status of the control: activate when visible, client site first,
  // inside-out, cannot link inside, recompose on resize.
  static constexpr DWORD kMiscStatus = 0x20191;

  // Every embedding interface but IOleObject (and IUnknown), without AddRef.
  void* QueryOleInterface(REFIID iid);

  HWND ControlWindow() const { return window_; }
  // Whether a container froze the events (IOleControl::FreezeEvents).
  bool EventsFrozen() const { return freeze_count_ > 0; }
  // The control tells its view it has changed (redraw in the container).
  void NotifyViewChange();

  // IOleObject
  STDMETHODIMP SetClientSite(IOleClientSite* site) override;
  STDMETHODIMP GetClientSite(IOleClientSite** site) override;
  STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP Close(DWORD save_option) override;
  STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override;
  STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP GetClipboardData(DWORD, IDataObject** out) override;
  STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT rect) override;
  STDMETHODIMP EnumVerbs(IEnumOLEVERB** out) override;
  STDMETHODIMP Update() override { return S_OK; }
  STDMETHODIMP IsUpToDate() override { return S_OK; }
  STDMETHODIMP GetUserClassID(CLSID* clsid) override;
  STDMETHODIMP GetUserType(DWORD, LPOLESTR* out) override;
  STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP Advise(IAdviseSink* sink, DWORD* cookie) override;
  STDMETHODIMP Unadvise(DWORD cookie) override;
  STDMETHODIMP EnumAdvise(IEnumSTATDATA** out) override;
  STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
  STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

  // IOleWindow (of both in-place interfaces)
  STDMETHODIMP GetWindow(HWND* out) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  // IOleInPlaceObject
  STDMETHODIMP InPlaceDeactivate() override;
  STDMETHODIMP UIDeactivate() override;
  STDMETHODIMP SetObjectRects(LPCRECT pos, LPCRECT clip) override;
  STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }
  // IOleInPlaceActiveObject
  STDMETHODIMP TranslateAccelerator(LPMSG msg) override;
  STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
  STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
  // The container shows a modal window of its own: the control takes no
  // input (so opens no menu or dialog of its own) until it is told again.
  STDMETHODIMP EnableModeless(BOOL enable) override;

  // IOleControl
  STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
  STDMETHODIMP OnMnemonic(MSG*) override { return E_NOTIMPL; }
  STDMETHODIMP OnAmbientPropertyChange(DISPID) override { return S_OK; }
  STDMETHODIMP FreezeEvents(BOOL freeze) override;

  // IViewObject2
  STDMETHODIMP Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                    BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) override;
  STDMETHODIMP GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** out) override;
  STDMETHODIMP Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
  STDMETHODIMP Unfreeze(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
  STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
  STDMETHODIMP GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) override;

  // IPersist (of the three persistence interfaces)
  STDMETHODIMP GetClassID(CLSID* clsid) override;
  // IPersistStreamInit and IPersistStorage
  STDMETHODIMP IsDirty() override;
  // IPersistStreamInit
  STDMETHODIMP Load(LPSTREAM stream) override;
  STDMETHODIMP Save(LPSTREAM stream, BOOL clear_dirty) override;
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
  // IPersistStreamInit and IPersistPropertyBag
  STDMETHODIMP InitNew() override;
  // IPersistPropertyBag
  STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
  STDMETHODIMP Save(IPropertyBag* bag, BOOL clear_dirty, BOOL save_all) override;
  // IPersistStorage
  STDMETHODIMP InitNew(IStorage* storage) override;
  STDMETHODIMP Load(IStorage* storage) override;
  STDMETHODIMP Save(IStorage* storage, BOOL same_as_load) override;
  STDMETHODIMP SaveCompleted(IStorage*) override { return S_OK; }
  STDMETHODIMP HandsOffStorage() override { return S_OK; }

  // ISpecifyPropertyPages
  STDMETHODIMP GetPages(CAUUID* pages) override;

  // IObjectSafety
  STDMETHODIMP GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) override;
  STDMETHODIMP SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) override;

  // IObjectWithSite: the site of an object a script made (ole_site.cpp).
  STDMETHODIMP SetSite(IUnknown* site) override;
  STDMETHODIMP GetSite(REFIID iid, void** out) override;

  // Held around every modal window the control shows (its dialogs, message
  // boxes, the shell's pickers, the property frame). The container hears of
  // it as an in-place object's container should (its frame's
  // EnableModeless(FALSE)), and its top window is disabled, so that it does
  // not navigate, close or call into the page meanwhile; both are undone at
  // the end, on the frame that was told even if the control has since been
  // deactivated. A container that takes the control away anyway (destroys
  // its window, deactivates or closes it) ends every modal window the scope
  // holds: ours are ended, the system's cancelled.
  class ModalScope {
   public:
    explicit ModalScope(OleControl& control);
    ~ModalScope();
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;

    // Whether the control was taken away since the scope began: what the
    // call would show next must not come up.
    bool TakenAway() const { return control_.taken_away_ != taken_away_at_; }

   private:
    friend class OleControl;
    OleControl& control_;
    com::ComPtr<IOleInPlaceFrame> frame_;
    HWND top_ = nullptr;    // disabled by this scope
    HWND focus_ = nullptr;  // inside the control when the scope began
    unsigned taken_away_at_;
    ModalScope* outer_;
    win::ModalWindowWatch watch_;
  };
  // How many modal windows of the control are up.
  int ModalDepth() const { return modal_depth_; }
  // Whether the container has asked for no modeless UI (EnableModeless).
  bool ModelessDisabled() const { return modeless_off_ > 0; }

  // Whether the page the control is on has been refused by the site lock;
  // judged now if no page was judged yet. Once refused, always refused: no
  // later site, safety call or order of calls admits the object again, and
  // its members fail with E_ACCESSDENIED.
  bool PageRefused();

 protected:
  OleControl();
  virtual ~OleControl();

  // ---- What the control supplies ----
  virtual const CLSID& ControlClassId() const = 0;
  // Exchanges the control's saved properties (after the version and the
  // extent). On load, apply nothing unless the whole exchange succeeded.
  virtual HRESULT ExchangeProperties(PropertyExchange& px) = 0;
  // Sets the properties that have a load default (a new control).
  virtual void InitNewProperties() = 0;
  // Whether the control has unsaved changes; every property put sets it.
  virtual bool IsModified() const = 0;
  virtual void SetModified(bool modified) = 0;
  // The window exists (false fails the activation and destroys it again).
  virtual bool OnWindowCreated(HWND window) { return true; }
  // The window has its new client size.
  virtual void OnWindowResized(HWND window, int width, int height) {}
  // The window is about to be destroyed.
  virtual void OnWindowDestroying(HWND window) {}
  // A message of the window before the default handling; true when handled.
  virtual bool OnWindowMessage(HWND window, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) { return false; }
  // Draws the control's image when it has no window: a white fill and an
  // inscribed ellipse.
  virtual void DrawWithoutWindow(HDC dc, const RECT& bounds);
  // The property pages of the control (ISpecifyPropertyPages, "Properties").
  virtual std::vector<CLSID> PropertyPageIds() const { return {}; }
  // Whether the control may be made safe for scripting and initialising in
  // its present container; false refuses IObjectSafety for every interface.
  virtual bool SafeInContainer() { return true; }

  // The URL of the page the control is on: from the client site, the display
  // name of the container's moniker, else the URL of its HTML document; else
  // from either site's services, the browser's location or the document of
  // the container's dispatch. Empty when no site names a page.
  std::wstring ContainerPageUrl() const;

 private:
  HRESULT ActivateInPlace(bool ui_activate, IOleClientSite* site);
  HRESULT ShowPropertyPages(HWND parent);
  bool CreateControlWindow(HWND parent, const RECT& pos);
  void DestroyControlWindow();
  // Load and save through any of the three forms.
  HRESULT LoadFrom(PropertyExchange& px);
  HRESULT SaveTo(PropertyExchange& px);
  HRESULT LoadStream(IStream* stream);
  HRESULT SaveStream(IStream* stream);
  bool SupportsInterface(REFIID iid);
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

  // The hook on the control's window: its messages go to HandleMessage.
  class WindowHook final : public win::WindowHook {
   public:
    explicit WindowHook(OleControl& control) : control_(control) {}
    LRESULT Previous(UINT msg, WPARAM wp, LPARAM lp) { return CallPrevious(msg, wp, lp); }

   private:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override { return control_.HandleMessage(msg, wp, lp); }
    void OnFinalMessage(HWND) override { control_.OnWindowGone(); }
    OleControl& control_;
  };
  void OnWindowGone();
  // The container is taking the control away: every modal window of its
  // scopes ends, so that the calls that run them return.
  void EndModalWindows();

  // Asks SafeInContainer of the page as it is known now; a refusal sticks.
  bool JudgeSite();

  com::ComPtr<IOleClientSite> client_site_;
  com::ComPtr<IUnknown> object_site_;  // IObjectWithSite's
  bool judged_ = false;
  bool refused_ = false;
  com::ComPtr<IOleAdviseHolder> advise_holder_;
  com::ComPtr<IAdviseSink> view_sink_;
  DWORD view_aspects_ = 0;
  DWORD view_flags_ = 0;
  SIZEL extent_;  // HIMETRIC
  com::ComPtr<IOleInPlaceSite> in_place_site_;
  com::ComPtr<IOleInPlaceFrame> frame_;
  com::ComPtr<IOleInPlaceUIWindow> doc_window_;
  bool in_place_active_ = false;
  bool ui_active_ = false;
  HWND window_ = nullptr;
  WindowHook hook_{*this};
  RECT pos_ = {};
  LONG freeze_count_ = 0;
  DWORD safety_enabled_ = 0;
  int modal_depth_ = 0;
  ModalScope* innermost_scope_ = nullptr;
  unsigned taken_away_ = 0;  // how often; see ModalScope::TakenAway
  int modeless_off_ = 0;
  bool disabled_for_container_ = false;  // our window, by EnableModeless(FALSE)
};

}  // namespace zt::ole
