#pragma once
// The class factory of one creatable class: CreateInstance makes the object
// through a creator function; LockServer holds the module.
#include <windows.h>
#include <unknwn.h>

#include <new>

#include "platform/com_object.h"

namespace zt::com {

// Makes a new object and returns its interface iid in *out.
using CreatorFunction = HRESULT (*)(REFIID iid, void** out);

class ClassFactory final : public ComObject<IClassFactory> {
public:
  explicit ClassFactory(CreatorFunction creator) : creator_(creator) {}

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
  STDMETHODIMP LockServer(BOOL lock) override;

private:
  CreatorFunction creator_;
};

// Creates an object of class T (a ComObject with a default constructor) and
// hands out its interface iid; the object dies if the interface is refused.
template <typename T>
HRESULT CreateObject(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  T* object = new (std::nothrow) T();
  if (!object) return E_OUTOFMEMORY;
  object->AddRef();
  HRESULT hr = object->QueryInterface(iid, out);
  object->Release();
  return hr;
}

}  // namespace zt::com
