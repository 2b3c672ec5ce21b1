// Routes every event of a control to the script function <item>_<Event>,
// when the script defines one. The events are found through the control's
// class information (its default source interface) and named from it.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <functional>
#include <string>

#include "host_output.h"
#include "platform/bstr.h"
#include "host_com.h"
#include "platform/com_ptr.h"
#include "run_state.h"

namespace zt::host {

class EventRouter final : public HostComObject<IDispatch> {
 public:
  using ScriptGetter = std::function<com::ComPtr<IDispatch>()>;

  EventRouter(std::wstring item, ScriptGetter script, Output* output, RunState* state)
      : item_(std::move(item)), script_(std::move(script)), output_(output), state_(state) {}

  // S_FALSE when the object has no events to route.
  HRESULT Connect(IUnknown* control);
  void Disconnect();

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** out) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO*, UINT*) override;

 protected:
  // The sink is advised on the control's own event interface.
  void* QueryExtra(REFIID iid) override {
    return iid == source_iid_ && iid != IID_NULL ? static_cast<IDispatch*>(this) : nullptr;
  }

 private:
  ~EventRouter() = default;

  std::wstring item_;
  ScriptGetter script_;
  Output* output_;
  RunState* state_;
  IID source_iid_ = IID_NULL;
  com::ComPtr<ITypeInfo> source_info_;
  com::ComPtr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
};

}  // namespace zt::host
