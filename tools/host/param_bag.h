// The <param> tags of a page: name=value lines read from a UTF-8 file and
// handed to the control through IPropertyBag, every value as a string.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <string>
#include <utility>
#include <vector>

#include "host_com.h"

namespace zt::host {

using Params = std::vector<std::pair<std::wstring, std::wstring>>;

// Parses "name=value" lines. Blank lines and lines starting with '#' or ';'
// are skipped; spaces around the name are trimmed, the value is kept as
// written (minus the line end). False with *bad_line set on a line with no
// '=' or an empty name.
bool ParseParams(const std::string& utf8, Params& out, int* bad_line);

class ParamBag final : public HostComObject<IPropertyBag> {
 public:
  explicit ParamBag(Params params) : params_(std::move(params)) {}

  // Always answers VT_BSTR, whatever type the caller asks for, as a
  // browser does with <param> values; absent names give E_INVALIDARG.
  HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) override;
  // A container's bag is read-only to the control.
  HRESULT STDMETHODCALLTYPE Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }

 private:
  ~ParamBag() = default;
  Params params_;
};

}  // namespace zt::host
