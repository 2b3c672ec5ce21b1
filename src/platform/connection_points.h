#pragma once
// Outgoing interfaces: one IConnectionPoint per interface id, and the
// container mixin that hands them out. The points live inside their owner
// and count references on it, so a sink or an enumerator holding a point
// keeps the owner alive.
#include <windows.h>
#include <ocidl.h>

#include <memory>
#include <vector>

#include "platform/com_ptr.h"

namespace zt::com {

class ConnectionPoint final : public IConnectionPoint {
public:
  // owner: the identity whose references this point counts; container: the
  // owner's IConnectionPointContainer. Neither is owned. dispatchSinks: the
  // interface is a dispinterface, so a sink may answer only IDispatch.
  ConnectionPoint(IUnknown* owner, IConnectionPointContainer* container, const IID& iid, bool dispatchSinks);
  ConnectionPoint(const ConnectionPoint&) = delete;
  ConnectionPoint& operator=(const ConnectionPoint&) = delete;
  ~ConnectionPoint();

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return owner_->AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return owner_->Release(); }

  STDMETHODIMP GetConnectionInterface(IID* iid) override;
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override;
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
  STDMETHODIMP Unadvise(DWORD cookie) override;
  STDMETHODIMP EnumConnections(IEnumConnections** out) override;

  const IID& Iid() const { return iid_; }
  // The advised sinks, each as the interface asked for at Advise (the
  // outgoing interface, or IDispatch for a dispinterface). A snapshot: a
  // sink that unadvises while being called does not disturb the caller.
  std::vector<ComPtr<IUnknown>> Sinks() const;
  // Calls method id with args (last argument first, as DISPPARAMS wants) on
  // every sink that is an IDispatch, in the order they were advised.
  void FireDispatch(DISPID id, VARIANT* args, UINT count) const;
  // IPropertyNotifySink::OnChanged(id) on every sink, in the order they were advised.
  void NotifyChanged(DISPID id) const;
  // Drops every connection (the owner is going away).
  void DisconnectAll();

private:
  struct Connection {
    DWORD Cookie;
    ComPtr<IUnknown> Sink;
  };
  IUnknown* owner_;
  IConnectionPointContainer* container_;
  IID iid_;
  bool dispatchSinks_;
  std::vector<Connection> connections_;
  DWORD nextCookie_ = 1;
};

// The IConnectionPointContainer part of an object. The owner calls
// AddConnectionPoint once per outgoing interface in its constructor.
class ConnectionPointContainerImpl : public IConnectionPointContainer {
public:
  using Interface = IConnectionPointContainer;

  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override;
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

protected:
  ~ConnectionPointContainerImpl();
  // owner is the object's IUnknown identity; dispatchSinks as for ConnectionPoint.
  ConnectionPoint& AddConnectionPoint(IUnknown* owner, const IID& iid, bool dispatchSinks);
  ConnectionPoint* FindPoint(const IID& iid) const;

private:
  std::vector<std::unique_ptr<ConnectionPoint>> points_;
};

}  // namespace zt::com
