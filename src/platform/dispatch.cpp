#include "platform/dispatch.h"

#include <new>

#include "platform/wide_text.h"
#include "text/unicode.h"

namespace zt::com {

DispatchCall::DispatchCall(std::size_t argCount) : args_(argCount) {}

void DispatchCall::ReturnLong(std::int32_t v) {
  VARIANT* r = result_.Reset();
  V_VT(r) = VT_I4;
  V_I4(r) = v;
}

void DispatchCall::ReturnShort(std::int16_t v) {
  VARIANT* r = result_.Reset();
  V_VT(r) = VT_I2;
  V_I2(r) = v;
}

void DispatchCall::ReturnBool(bool v) {
  VARIANT* r = result_.Reset();
  V_VT(r) = VT_BOOL;
  V_BOOL(r) = v ? VARIANT_TRUE : VARIANT_FALSE;
}

void DispatchCall::ReturnDouble(double v) {
  VARIANT* r = result_.Reset();
  V_VT(r) = VT_R8;
  V_R8(r) = v;
}

void DispatchCall::ReturnText(std::u16string_view text) {
  VARIANT* r = result_.Reset();
  BSTR b = AllocBstr(text);
  if (!b) {
    failure_ = E_OUTOFMEMORY;
    return;
  }
  V_VT(r) = VT_BSTR;
  V_BSTR(r) = b;
}

void DispatchCall::ReturnVariant(VARIANT& value) {
  VARIANT* r = result_.Reset();
  *r = value;
  VariantInit(&value);
}

void DispatchCall::Raise(WORD code, std::u16string description, DWORD helpContext) {
  raised_ = true;
  code_ = code;
  scode_ = S_OK;
  helpContext_ = helpContext;
  description_ = std::move(description);
}

void DispatchCall::RaiseScode(HRESULT scode, std::u16string description) {
  raised_ = true;
  code_ = 0;
  scode_ = scode;
  helpContext_ = 0;
  description_ = std::move(description);
}

HRESULT DispatchCall::Finish(VARIANT* result, EXCEPINFO* info) {
  if (FAILED(failure_)) return failure_;
  if (raised_) {
    if (info) {
      *info = EXCEPINFO{};
      info->wCode = code_;
      info->scode = code_ ? S_OK : scode_;
      info->dwHelpContext = helpContext_;
      info->bstrSource = SysAllocString(kExceptionSource);
      info->bstrDescription = AllocBstr(description_);
      if (!info->bstrSource || !info->bstrDescription) {
        SysFreeString(info->bstrSource);
        SysFreeString(info->bstrDescription);
        *info = EXCEPINFO{};
        return E_OUTOFMEMORY;
      }
    }
    return DISP_E_EXCEPTION;
  }
  if (result) {
    VariantInit(result);
    *result = *result_.Get();
    VariantInit(result_.Get());
  }
  return S_OK;
}

HRESULT BindNames(const MemberShape* const* shapes, std::size_t count, LPOLESTR* names, UINT nameCount,
                  DISPID* ids) {
  if (nameCount == 0) return S_OK;
  if (!names || !ids) return E_POINTER;
  for (UINT i = 0; i < nameCount; ++i) ids[i] = DISPID_UNKNOWN;
  if (!names[0]) return DISP_E_UNKNOWNNAME;
  std::u16string wanted = FromWide(names[0]);
  for (std::size_t i = 0; i < count; ++i) {
    if (EqualsNoCase(wanted, FromWide(shapes[i]->Name))) {
      ids[0] = shapes[i]->Id;
      // Named arguments are not supported, so no parameter name binds.
      return nameCount == 1 ? S_OK : DISP_E_UNKNOWNNAME;
    }
  }
  return DISP_E_UNKNOWNNAME;
}

namespace {

// Coerces src into dst as type vt; VT_VARIANT takes the value as it is.
// References (VT_BYREF, including a reference to a VARIANT) are followed.
HRESULT Coerce(const VARIANT& src, VARTYPE vt, VARIANT* dst) {
  Variant value;
  HRESULT hr = VariantCopyInd(value.Get(), const_cast<VARIANT*>(&src));
  if (FAILED(hr)) return hr;
  // A reference to a VARIANT that itself holds a reference.
  while (V_VT(value.Get()) & VT_BYREF) {
    Variant inner;
    hr = VariantCopyInd(inner.Get(), value.Get());
    if (FAILED(hr)) return hr;
    VariantClear(value.Get());
    *value.Get() = *inner.Get();
    VariantInit(inner.Get());
  }
  VariantClear(dst);
  if (vt == VT_VARIANT) {
    *dst = *value.Get();
    VariantInit(value.Get());
    return S_OK;
  }
  return VariantChangeType(dst, value.Get(), 0, vt);
}

HRESULT CoerceArgument(const VARIANT& src, VARTYPE vt, VARIANT* dst, UINT position, UINT* argErr) {
  HRESULT hr = Coerce(src, vt, dst);
  if (SUCCEEDED(hr)) return S_OK;
  if (hr == E_OUTOFMEMORY) return hr;
  if (argErr) *argErr = position;
  return DISP_E_TYPEMISMATCH;
}

}  // namespace

HRESULT PrepareCall(const MemberShape& shape, WORD flags, DISPPARAMS* params, UINT* argErr,
                    DispatchCall& call, Access* access) {
  static DISPPARAMS noParams = {nullptr, nullptr, 0, 0};
  if (!params) params = &noParams;
  if (params->cArgs > 0 && !params->rgvarg) return E_INVALIDARG;
  if (params->cNamedArgs > params->cArgs) return E_INVALIDARG;
  const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  const bool get = (flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) != 0;

  if (shape.Kind == MemberKind::Property) {
    if (put) {
      // The value is the one argument; callers name it DISPID_PROPERTYPUT
      // or pass it positionally.
      if (params->cNamedArgs > 1) return DISP_E_BADPARAMCOUNT;
      if (params->cNamedArgs == 1 && (!params->rgdispidNamedArgs || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))
        return DISP_E_PARAMNOTFOUND;
      if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
      *access = Access::Put;
      return CoerceArgument(params->rgvarg[0], shape.Type, call.ArgSlot(0), 0, argErr);
    }
    if (!get) return DISP_E_MEMBERNOTFOUND;
    if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
    *access = Access::Get;
    return S_OK;
  }

  if (put || !get) return DISP_E_MEMBERNOTFOUND;
  if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
  if (params->cArgs != shape.ParamCount) return DISP_E_BADPARAMCOUNT;
  // rgvarg holds the arguments last first.
  for (UINT i = 0; i < shape.ParamCount; ++i) {
    UINT position = params->cArgs - 1 - i;
    HRESULT hr = CoerceArgument(params->rgvarg[position], shape.Params[i], call.ArgSlot(i), position, argErr);
    if (FAILED(hr)) return hr;
  }
  *access = Access::Call;
  return S_OK;
}

}  // namespace zt::com
