#pragma once
// The base of every COM object of the module: one reference count, the
// module lock, and QueryInterface over the list of bases the class names.
//
//   class CFoo : public ComObject<IDispatch, IConnectionPointContainer> {...};
//
// A base is either an interface or a reusable implementation of one that
// names it as `using Interface = IFoo;`. A class answers further interface
// ids (a base interface, a dispinterface id) by overriding QueryExtra.
#include <windows.h>
#include <unknwn.h>

#include <tuple>
#include <type_traits>

#include "platform/module_state.h"

namespace zt::com {

namespace detail {
template <typename B, typename = void>
struct InterfaceOf {
  using type = B;
};
template <typename B>
struct InterfaceOf<B, std::void_t<typename B::Interface>> {
  using type = typename B::Interface;
};

// The module lock of one object, taken before its first base is built and
// given back after its last base is destroyed: those destructors (a window
// torn down, foreign sinks released) still run the module's code.
class ModuleHold {
protected:
  ModuleHold() { LockModule(); }
  ~ModuleHold() { UnlockModule(); }
  ModuleHold(const ModuleHold&) = delete;
  ModuleHold& operator=(const ModuleHold&) = delete;
};
}  // namespace detail

template <typename... Bases>
class ComObject : private detail::ModuleHold, public Bases... {
public:
  ComObject() = default;
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;
  virtual ~ComObject() = default;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown)) {
      *out = Identity();
    } else {
      (void)(... || Match<Bases>(iid, out));
      if (!*out) *out = QueryExtra(iid);
    }
    if (!*out) return E_NOINTERFACE;
    static_cast<IUnknown*>(*out)->AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }

  // The object's IUnknown identity.
  IUnknown* Identity() { return static_cast<IUnknown*>(static_cast<FirstInterface*>(this)); }

protected:
  // Interfaces beyond the bases; the pointer is returned without AddRef.
  virtual void* QueryExtra(REFIID iid) { return nullptr; }

private:
  using FirstBase = std::tuple_element_t<0, std::tuple<Bases...>>;
  using FirstInterface = typename detail::InterfaceOf<FirstBase>::type;

  template <typename B>
  bool Match(REFIID iid, void** out) {
    using I = typename detail::InterfaceOf<B>::type;
    if (!IsEqualIID(iid, __uuidof(I))) return false;
    *out = static_cast<I*>(static_cast<B*>(this));
    return true;
  }

  LONG refs_ = 0;
};

}  // namespace zt::com
