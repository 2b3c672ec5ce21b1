#pragma once
// IDispatch driven by one member table: the table binds names to numbers
// (GetIDsOfNames) and numbers to handlers (Invoke). The generic part checks
// the call's shape, coerces the arguments to the declared types as
// VariantChangeType does, and turns a handler's failure into the dispatch
// exception or HRESULT the caller sees.
#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/bstr.h"

namespace zt::com {

enum class MemberKind : unsigned char { Property, Method };

// What a member looks like to a caller. VT_VARIANT as a type means "any
// value, taken as it comes"; VT_EMPTY as a method's type means it returns
// nothing.
struct MemberShape {
  const wchar_t* Name;
  DISPID Id;
  MemberKind Kind;
  VARTYPE Type;
  unsigned char ParamCount;
  VARTYPE Params[2];
};

// One call in progress: the coerced arguments in and the result or the
// failure out. Handlers read and write only through this.
class DispatchCall {
public:
  explicit DispatchCall(std::size_t argCount);

  const VARIANT& Arg(std::size_t i) const { return *args_[i].Get(); }
  std::int32_t LongArg(std::size_t i) const { return V_I4(&Arg(i)); }
  std::int16_t ShortArg(std::size_t i) const { return V_I2(&Arg(i)); }
  bool BoolArg(std::size_t i) const { return V_BOOL(&Arg(i)) != VARIANT_FALSE; }
  std::u16string TextArg(std::size_t i) const { return FromBstr(V_BSTR(&Arg(i))); }

  void ReturnLong(std::int32_t v);
  void ReturnShort(std::int16_t v);
  void ReturnBool(bool v);
  void ReturnDouble(double v);
  // A BSTR result; out of memory fails the call with E_OUTOFMEMORY.
  void ReturnText(std::u16string_view text);
  // Takes ownership of value (a VARIANT the handler built).
  void ReturnVariant(VARIANT& value);

  // Fails the call with a dispatch exception carrying a code word.
  void Raise(WORD code, std::u16string description, DWORD helpContext);
  // Fails the call with a dispatch exception carrying an HRESULT.
  void RaiseScode(HRESULT scode, std::u16string description);
  // Fails the call with hr itself (no exception information).
  void Fail(HRESULT hr) { failure_ = hr; }

  // Used by the generic part.
  VARIANT* ArgSlot(std::size_t i) { return args_[i].Get(); }
  Variant& Result() { return result_; }
  // S_OK, the plain failure, or DISP_E_EXCEPTION with *info filled.
  HRESULT Finish(VARIANT* result, EXCEPINFO* info);

private:
  std::vector<Variant> args_;
  Variant result_;
  HRESULT failure_ = S_OK;
  bool raised_ = false;
  WORD code_ = 0;
  HRESULT scode_ = S_OK;
  DWORD helpContext_ = 0;
  std::u16string description_;
};

// Which half of a property a call reaches.
enum class Access { Get, Put, Call };

// GetIDsOfNames over shapes: the first name binds case-insensitively to a
// member; parameter names are not bound.
HRESULT BindNames(const MemberShape* const* shapes, std::size_t count, LPOLESTR* names, UINT nameCount,
                  DISPID* ids);

// Checks flags and arguments against shape and coerces the arguments into
// call. S_OK with *access set, or the DISP_E_* result (and *argErr).
HRESULT PrepareCall(const MemberShape& shape, WORD flags, DISPPARAMS* params, UINT* argErr,
                    DispatchCall& call, Access* access);

// The source named in every dispatch exception of the module.
inline constexpr const wchar_t* kExceptionSource = L"ZTFileUpload";

// A table of members with handlers of Owner. Handler for a property: Get
// and Put; for a method: Get (the call) only.
template <typename Owner>
struct DispatchMember {
  MemberShape Shape;
  void (*Get)(Owner&, DispatchCall&);
  void (*Put)(Owner&, DispatchCall&);
};

template <typename Owner, std::size_t N>
class DispatchTable {
public:
  explicit constexpr DispatchTable(const DispatchMember<Owner> (&members)[N]) : members_(members) {
    for (std::size_t i = 0; i < N; ++i) shapes_[i] = &members[i].Shape;
  }

  HRESULT GetIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids) const {
    return BindNames(shapes_, N, names, count, ids);
  }

  HRESULT Invoke(Owner& owner, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* info,
                 UINT* argErr) const {
    const DispatchMember<Owner>* member = Find(id);
    if (!member) return DISP_E_MEMBERNOTFOUND;
    try {
      DispatchCall call(member->Shape.Kind == MemberKind::Method ? member->Shape.ParamCount : 1);
      Access access;
      HRESULT hr = PrepareCall(member->Shape, flags, params, argErr, call, &access);
      if (FAILED(hr)) return hr;
      if (access == Access::Put)
        member->Put(owner, call);
      else
        member->Get(owner, call);
      return call.Finish(result, info);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (...) {
      return E_UNEXPECTED;
    }
  }

  const DispatchMember<Owner>* Find(DISPID id) const {
    for (const auto& m : members_)
      if (m.Shape.Id == id) return &m;
    return nullptr;
  }
  const DispatchMember<Owner> (&Members() const)[N] { return members_; }

private:
  const DispatchMember<Owner> (&members_)[N];
  const MemberShape* shapes_[N] = {};
};

}  // namespace zt::com
