#pragma once
// An event sink as a container implements one: an IDispatch that records
// every event it is sent, with its arguments in declaration order.
#include <windows.h>
#include <ocidl.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/com_ptr.h"

namespace zt::test {

struct FiredEvent {
  DISPID Id;
  std::vector<std::wstring> Args;  // numbers as decimal text
};

class EventSink final : public IDispatch {
public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }
  STDMETHODIMP GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override;

  std::vector<FiredEvent> Events;
  // The page's handler, when it has one: runs inside the event, as a script does.
  std::function<void(const FiredEvent&)> Handler;

private:
  ULONG refs_ = 0;
};

// Advises a new sink on the control's event interface for its lifetime.
class Advised {
public:
  explicit Advised(IUnknown* control);
  ~Advised();
  EventSink& Sink() { return *sink_.Get(); }
  void Unadvise();

private:
  com::ComPtr<IConnectionPoint> point_;
  com::ComPtr<EventSink> sink_;
  DWORD cookie_ = 0;
};

}  // namespace zt::test
