// The object scripts know as `Host` and `WScript`: Echo, Quit, Sleep and
// Screenshot. Late-bound only (no type information), like WScript's.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <string>

#include "host_output.h"
#include "run_state.h"

#include "host_com.h"

namespace zt::host {

struct HostServices {
  Output* output = nullptr;
  RunState* state = nullptr;
  // Runs the window's messages for a number of milliseconds (or until Quit).
  std::function<void(DWORD)> pump;
  // Saves the host window as a BMP; false on failure.
  std::function<bool(const std::wstring&)> screenshot;
};

class HostObject final : public HostComObject<IDispatch> {
 public:
  explicit HostObject(HostServices services) : services_(std::move(services)) {}

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** out) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excep, UINT* arg_err) override;

 private:
  ~HostObject() = default;
  HRESULT Echo(DISPPARAMS* params);
  HRESULT Quit(DISPPARAMS* params, EXCEPINFO* excep);
  // The exception that ends the script after Quit.
  static HRESULT Unwind(EXCEPINFO* excep);

  HostServices services_;
};

}  // namespace zt::host
