#pragma once
// Drives the control as a container or script engine does: by name, through
// IDispatch::GetIDsOfNames and Invoke, with VARIANT arguments.
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "platform/bstr.h"
#include "platform/com_ptr.h"

namespace zt::test {

// The module next to the test executable.
std::wstring ModulePath();
// A new control made through the module's own class factory, without the
// registry (the module stays loaded for the process).
com::ComPtr<IDispatch> NewControl();

// The outcome of one Invoke.
struct CallResult {
  HRESULT Hr = S_OK;
  com::Variant Value;
  EXCEPINFO Exception = {};
  UINT ArgErr = ~0u;

  CallResult() = default;
  CallResult(const CallResult&) = delete;
  CallResult(CallResult&& o) noexcept;
  CallResult& operator=(CallResult&& o) noexcept;
  ~CallResult();

  std::wstring Text() const;      // the value as a BSTR
  long Long() const;              // the value as VT_I4
  bool Bool() const;              // the value as VT_BOOL
  std::wstring Description() const;
};

// Argument values for Call and Put.
VARIANT Long(long v);
VARIANT Text(const wchar_t* s);  // a new BSTR, freed by the call that takes it
VARIANT Bool(bool v);

class ControlClient {
public:
  explicit ControlClient(com::ComPtr<IDispatch> control) : control_(std::move(control)) {}
  ControlClient() : ControlClient(NewControl()) {}

  DISPID Id(const std::wstring& name) const;

  CallResult Invoke(DISPID id, WORD flags, std::vector<VARIANT> args, bool namedPut = false) const;
  CallResult Get(const std::wstring& name) const;
  CallResult Put(const std::wstring& name, VARIANT value) const;
  // A method call with arguments first-first; the VARIANTs are cleared.
  CallResult Call(const std::wstring& name, std::vector<VARIANT> args = {}) const;

  // Shortcuts that expect success.
  std::wstring GetText(const std::wstring& name) const;
  long GetLong(const std::wstring& name) const;

  IDispatch* Get() const { return control_.Get(); }

private:
  com::ComPtr<IDispatch> control_;
};

// A folder of its own under the temporary folder, removed with everything in it.
class TempFolder {
public:
  TempFolder();
  ~TempFolder();
  const std::wstring& Path() const { return path_; }  // ends with "\"
  // Writes a file of size bytes and returns its full path.
  std::wstring MakeFile(const std::wstring& name, DWORD size, DWORD attributes = FILE_ATTRIBUTE_NORMAL) const;

private:
  std::wstring path_;
};

}  // namespace zt::test
