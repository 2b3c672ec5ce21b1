#include "event_sink.h"

#include <gtest/gtest.h>

namespace zt::test {

namespace {
const IID kEventsIid = {0x7FD63FB0, 0xDE6B, 0x4617, {0xB3, 0xC5, 0x36, 0x74, 0xEE, 0xE5, 0x80, 0x04}};
}

STDMETHODIMP EventSink::QueryInterface(REFIID iid, void** out) {
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, kEventsIid)) {
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) {
  FiredEvent e{id, {}};
  for (UINT i = params->cArgs; i-- > 0;) {
    const VARIANT& v = params->rgvarg[i];
    if (V_VT(&v) == VT_BSTR)
      e.Args.push_back(std::wstring(V_BSTR(&v), SysStringLen(V_BSTR(&v))));
    else if (V_VT(&v) == VT_I4)
      e.Args.push_back(std::to_wstring(V_I4(&v)));
    else
      e.Args.push_back(L"<type " + std::to_wstring(V_VT(&v)) + L">");
  }
  Events.push_back(std::move(e));
  if (Handler) Handler(Events.back());
  return S_OK;
}

Advised::Advised(IUnknown* control) : sink_(new EventSink) {
  com::ComPtr<IConnectionPointContainer> container =
      com::ComPtr<IUnknown>(control).As<IConnectionPointContainer>(IID_IConnectionPointContainer);
  EXPECT_TRUE(container);
  if (!container) return;
  EXPECT_EQ(container->FindConnectionPoint(kEventsIid, point_.Put()), S_OK);
  if (point_) {
    EXPECT_EQ(point_->Advise(sink_.Get(), &cookie_), S_OK);
  }
}

Advised::~Advised() { Unadvise(); }

void Advised::Unadvise() {
  if (point_ && cookie_) {
    EXPECT_EQ(point_->Unadvise(cookie_), S_OK);
  }
  cookie_ = 0;
}

}  // namespace zt::test
