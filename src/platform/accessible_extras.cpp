#include "platform/accessible_extras.h"

#include <oleacc.h>

#include <new>

#include "platform/com_object.h"
#include "platform/com_ptr.h"
#include "platform/wide_text.h"

namespace zt::win {
namespace {

int ChildWindowCount(HWND window) {
  int n = 0;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) ++n;
  return n;
}

HWND ChildWindow(HWND window, int index) {
  HWND child = GetWindow(window, GW_CHILD);
  for (; child && index > 0; --index) child = GetWindow(child, GW_HWNDNEXT);
  return child;
}

// The proxy's object for the window's client area, with the extras on top.
// Child numbers 1..n are the child windows, as the proxy counts them; the
// painted texts follow.
class ClientWithExtras final : public com::ComObject<IAccessible> {
public:
  ClientWithExtras(HWND window, com::ComPtr<IAccessible> proxy, std::weak_ptr<const AccessibleExtras> extras)
      : window_(window), proxy_(std::move(proxy)), extras_(std::move(extras)) {}

  // IDispatch: the proxy's.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override { return proxy_->GetTypeInfoCount(count); }
  STDMETHODIMP GetTypeInfo(UINT i, LCID lcid, ITypeInfo** out) override { return proxy_->GetTypeInfo(i, lcid, out); }
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT n, LCID lcid, DISPID* ids) override {
    return proxy_->GetIDsOfNames(iid, names, n, lcid, ids);
  }
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* info, UINT* arg) override {
    return proxy_->Invoke(id, iid, lcid, flags, params, result, info, arg);
  }

  STDMETHODIMP get_accParent(IDispatch** out) override { return proxy_->get_accParent(out); }
  STDMETHODIMP get_accChildCount(LONG* out) override {
    if (!out) return E_POINTER;
    *out = ChildWindowCount(window_) + TextCount();
    return S_OK;
  }
  STDMETHODIMP get_accChild(VARIANT id, IDispatch** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (TextOf(id) >= 0) return S_FALSE;  // a simple element, answered here
    if (id.vt != VT_I4 || id.lVal < 1) return E_INVALIDARG;
    HWND child = ChildWindow(window_, id.lVal - 1);
    if (!child) return E_INVALIDARG;
    return AccessibleObjectFromWindow(child, static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                                      reinterpret_cast<void**>(out));
  }
  STDMETHODIMP get_accName(VARIANT id, BSTR* out) override {
    const int text = TextOf(id);
    if (text < 0) return proxy_->get_accName(id, out);
    if (!out) return E_POINTER;
    const auto extras = extras_.lock();
    if (!extras) return E_FAIL;
    const std::u16string name = extras->Text(text);
    *out = SysAllocStringLen(AsWide(name), static_cast<UINT>(name.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHODIMP get_accValue(VARIANT id, BSTR* out) override {
    return TextOf(id) < 0 ? proxy_->get_accValue(id, out) : Nothing(out);
  }
  STDMETHODIMP get_accDescription(VARIANT id, BSTR* out) override {
    return TextOf(id) < 0 ? proxy_->get_accDescription(id, out) : Nothing(out);
  }
  STDMETHODIMP get_accRole(VARIANT id, VARIANT* out) override {
    if (!out) return E_POINTER;
    const auto extras = extras_.lock();
    if (TextOf(id) >= 0) return Number(out, ROLE_SYSTEM_STATICTEXT);
    if (IsSelf(id) && extras && extras->Role() != 0) return Number(out, extras->Role());
    return proxy_->get_accRole(id, out);
  }
  STDMETHODIMP get_accState(VARIANT id, VARIANT* out) override {
    if (!out) return E_POINTER;
    if (TextOf(id) >= 0) return Number(out, STATE_SYSTEM_READONLY);
    const HRESULT hr = proxy_->get_accState(id, out);
    const auto extras = extras_.lock();
    if (SUCCEEDED(hr) && IsSelf(id) && extras && out->vt == VT_I4) out->lVal |= extras->ExtraState();
    return hr;
  }
  STDMETHODIMP get_accHelp(VARIANT id, BSTR* out) override {
    return TextOf(id) < 0 ? proxy_->get_accHelp(id, out) : Nothing(out);
  }
  STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT id, LONG* topic) override {
    return proxy_->get_accHelpTopic(file, id, topic);
  }
  STDMETHODIMP get_accKeyboardShortcut(VARIANT id, BSTR* out) override {
    return TextOf(id) < 0 ? proxy_->get_accKeyboardShortcut(id, out) : Nothing(out);
  }
  STDMETHODIMP get_accFocus(VARIANT* out) override { return proxy_->get_accFocus(out); }
  STDMETHODIMP get_accSelection(VARIANT* out) override { return proxy_->get_accSelection(out); }
  STDMETHODIMP get_accDefaultAction(VARIANT id, BSTR* out) override {
    return TextOf(id) < 0 ? proxy_->get_accDefaultAction(id, out) : Nothing(out);
  }
  STDMETHODIMP accSelect(long flags, VARIANT id) override {
    return TextOf(id) < 0 ? proxy_->accSelect(flags, id) : S_FALSE;
  }
  STDMETHODIMP accLocation(long* x, long* y, long* cx, long* cy, VARIANT id) override {
    const int text = TextOf(id);
    if (text < 0) return proxy_->accLocation(x, y, cx, cy, id);
    if (!x || !y || !cx || !cy) return E_POINTER;
    const auto extras = extras_.lock();
    if (!extras) return E_FAIL;
    RECT r = extras->TextBounds(text);
    MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&r), 2);
    *x = r.left;
    *y = r.top;
    *cx = r.right - r.left;
    *cy = r.bottom - r.top;
    return S_OK;
  }
  STDMETHODIMP accNavigate(long direction, VARIANT start, VARIANT* out) override {
    return proxy_->accNavigate(direction, start, out);
  }
  STDMETHODIMP accHitTest(long x, long y, VARIANT* out) override {
    if (!out) return E_POINTER;
    POINT at{x, y};
    ScreenToClient(window_, &at);
    const auto extras = extras_.lock();
    for (int i = 0; extras && i < extras->TextCount(); ++i) {
      const RECT r = extras->TextBounds(i);
      if (PtInRect(&r, at)) return Number(out, PaintedTextChild(window_, i));
    }
    return proxy_->accHitTest(x, y, out);
  }
  STDMETHODIMP accDoDefaultAction(VARIANT id) override {
    return TextOf(id) < 0 ? proxy_->accDoDefaultAction(id) : DISP_E_MEMBERNOTFOUND;
  }
  STDMETHODIMP put_accName(VARIANT id, BSTR name) override { return proxy_->put_accName(id, name); }
  STDMETHODIMP put_accValue(VARIANT id, BSTR value) override { return proxy_->put_accValue(id, value); }

protected:
  void* QueryExtra(REFIID iid) override {
    return IsEqualIID(iid, IID_IDispatch) ? static_cast<IDispatch*>(this) : nullptr;
  }

private:
  static bool IsSelf(const VARIANT& id) { return id.vt == VT_I4 && id.lVal == CHILDID_SELF; }
  static HRESULT Nothing(BSTR* out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return S_FALSE;
  }
  static HRESULT Number(VARIANT* out, long value) {
    out->vt = VT_I4;
    out->lVal = value;
    return S_OK;
  }
  int TextCount() const {
    const auto extras = extras_.lock();
    return extras ? extras->TextCount() : 0;
  }
  // The painted text a child number names; -1 for any other child.
  int TextOf(const VARIANT& id) const {
    if (id.vt != VT_I4 || !IsWindow(window_)) return -1;
    const int index = id.lVal - ChildWindowCount(window_) - 1;
    return index >= 0 && index < TextCount() ? index : -1;
  }

  HWND window_;
  com::ComPtr<IAccessible> proxy_;
  std::weak_ptr<const AccessibleExtras> extras_;
};

}  // namespace

LRESULT AnswerGetObject(HWND window, WPARAM wp, LPARAM lp, const std::shared_ptr<const AccessibleExtras>& extras) {
  if (static_cast<LONG>(lp) != OBJID_CLIENT || !extras) return 0;
  com::ComPtr<IAccessible> proxy;
  if (FAILED(CreateStdAccessibleObject(window, OBJID_CLIENT, __uuidof(IAccessible), proxy.PutVoid())) || !proxy)
    return 0;
  auto* object = new (std::nothrow) ClientWithExtras(window, proxy, extras);
  if (!object) return 0;
  object->AddRef();  // the answer takes a reference of its own
  const LRESULT answer = LresultFromObject(__uuidof(IAccessible), wp, object);
  object->Release();
  return answer < 0 ? 0 : answer;
}

LONG PaintedTextChild(HWND window, int index) { return ChildWindowCount(window) + index + 1; }

}  // namespace zt::win
