// Runs one JScript or VBScript text through the system's engine with named
// items, and reports the engine's errors with their line and text.
#pragma once

#include <windows.h>
#include <activscp.h>

#include <string>
#include <vector>

#include "host_output.h"
#include "platform/bstr.h"
#include "host_com.h"
#include "platform/com_ptr.h"
#include "run_state.h"

namespace zt::host {

class ScriptSite final : public HostComObject<IActiveScriptSite, IActiveScriptSiteWindow> {
 public:
  ScriptSite(Output* output, RunState* state, HWND window, std::wstring script_name)
      : output_(output), state_(state), window_(window), script_name_(std::move(script_name)) {}

  // Creates the engine by its ProgID ("JScript", "VBScript").
  HRESULT Start(const wchar_t* language);
  // Adds a visible named item; type_info may be null.
  HRESULT AddItem(const std::wstring& name, IUnknown* object, ITypeInfo* type_info);
  // Parses and runs the global code. Errors reach OnScriptError.
  HRESULT Run(const std::wstring& text);
  // The script's global functions, for calling event handlers.
  com::ComPtr<IDispatch> ScriptDispatch();
  void Close();

  // IActiveScriptSite
  HRESULT STDMETHODCALLTYPE GetLCID(LCID* lcid) override;
  HRESULT STDMETHODCALLTYPE GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** unk,
                                        ITypeInfo** ti) override;
  HRESULT STDMETHODCALLTYPE GetDocVersionString(BSTR* version) override;
  HRESULT STDMETHODCALLTYPE OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override;
  HRESULT STDMETHODCALLTYPE OnStateChange(SCRIPTSTATE) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnScriptError(IActiveScriptError* error) override;
  HRESULT STDMETHODCALLTYPE OnEnterScript() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnLeaveScript() override { return S_OK; }
  // IActiveScriptSiteWindow
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) override;
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }

  // Reports a failure that did not come through OnScriptError.
  void ReportFailure(const std::wstring& what, HRESULT hr);
  bool ErrorReported() const { return error_reported_; }

 private:
  struct Item {
    std::wstring name;
    com::ComPtr<IUnknown> object;
    com::ComPtr<ITypeInfo> type_info;
  };

  ~ScriptSite() = default;

  Output* output_;
  RunState* state_;
  HWND window_;
  std::wstring script_name_;
  std::vector<Item> items_;
  com::ComPtr<IActiveScript> engine_;
  com::ComPtr<IActiveScriptParse> parse_;
  bool error_reported_ = false;
};

}  // namespace zt::host
