#include "platform/connection_points.h"

#include <olectl.h>

#include "platform/enumerator.h"

namespace zt::com {

ConnectionPoint::ConnectionPoint(IUnknown* owner, IConnectionPointContainer* container, const IID& iid,
                                 bool dispatchSinks)
    : owner_(owner), container_(container), iid_(iid), dispatchSinks_(dispatchSinks) {}

ConnectionPoint::~ConnectionPoint() { DisconnectAll(); }

STDMETHODIMP ConnectionPoint::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPoint)) {
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP ConnectionPoint::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = iid_;
  return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
  if (!out) return E_POINTER;
  *out = container_;
  container_->AddRef();
  return S_OK;
}

STDMETHODIMP ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (!cookie) return E_POINTER;
  *cookie = 0;
  if (!sink) return E_POINTER;
  // A sink for a dispinterface is reached through IDispatch; many sinks
  // (script engines among them) answer only that.
  ComPtr<IUnknown> held;
  if (FAILED(sink->QueryInterface(iid_, held.PutVoid())) &&
      (!dispatchSinks_ || FAILED(sink->QueryInterface(IID_IDispatch, held.PutVoid()))))
    return CONNECT_E_CANNOTCONNECT;
  try {
    connections_.push_back({nextCookie_, held});
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  *cookie = nextCookie_++;
  return S_OK;
}

STDMETHODIMP ConnectionPoint::Unadvise(DWORD cookie) {
  for (auto it = connections_.begin(); it != connections_.end(); ++it) {
    if (it->Cookie == cookie) {
      ComPtr<IUnknown> sink = std::move(it->Sink);  // released after the list is consistent
      connections_.erase(it);
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

STDMETHODIMP ConnectionPoint::EnumConnections(IEnumConnections** out) {
  std::vector<CONNECTDATA> items;
  for (const Connection& c : connections_) items.push_back({c.Sink.Get(), c.Cookie});
  return Enumerator<IEnumConnections, ConnectionItems>::Make(items, out);
}

std::vector<ComPtr<IUnknown>> ConnectionPoint::Sinks() const {
  std::vector<ComPtr<IUnknown>> sinks;
  for (const Connection& c : connections_) sinks.push_back(c.Sink);
  return sinks;
}

void ConnectionPoint::FireDispatch(DISPID id, VARIANT* args, UINT count) const {
  for (const ComPtr<IUnknown>& sink : Sinks()) {
    ComPtr<IDispatch> dispatch = sink.As<IDispatch>(IID_IDispatch);
    if (!dispatch) continue;
    DISPPARAMS params = {args, nullptr, count, 0};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO info = {};
    UINT argErr = 0;
    // A failing sink must not stop the others or the caller: its result is
    // only released.
    dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, &info, &argErr);
    VariantClear(&result);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
  }
}

void ConnectionPoint::NotifyChanged(DISPID id) const {
  for (const ComPtr<IUnknown>& sink : Sinks()) {
    if (ComPtr<IPropertyNotifySink> notify = sink.As<IPropertyNotifySink>(IID_IPropertyNotifySink))
      notify->OnChanged(id);
  }
}

void ConnectionPoint::DisconnectAll() {
  std::vector<Connection> dropped;
  dropped.swap(connections_);
}

ConnectionPointContainerImpl::~ConnectionPointContainerImpl() = default;

ConnectionPoint& ConnectionPointContainerImpl::AddConnectionPoint(IUnknown* owner, const IID& iid,
                                                                 bool dispatchSinks) {
  points_.push_back(std::make_unique<ConnectionPoint>(owner, this, iid, dispatchSinks));
  return *points_.back();
}

ConnectionPoint* ConnectionPointContainerImpl::FindPoint(const IID& iid) const {
  for (const auto& p : points_)
    if (IsEqualIID(p->Iid(), iid)) return p.get();
  return nullptr;
}

STDMETHODIMP ConnectionPointContainerImpl::EnumConnectionPoints(IEnumConnectionPoints** out) {
  std::vector<IConnectionPoint*> items;
  for (const auto& p : points_) items.push_back(p.get());
  return Enumerator<IEnumConnectionPoints, ConnectionPointItems>::Make(items, out);
}

STDMETHODIMP ConnectionPointContainerImpl::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
  if (!out) return E_POINTER;
  *out = FindPoint(iid);
  if (!*out) return CONNECT_E_NOCONNECTION;
  (*out)->AddRef();
  return S_OK;
}

}  // namespace zt::com
