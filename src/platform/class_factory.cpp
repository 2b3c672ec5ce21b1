#include "platform/class_factory.h"

namespace zt::com {

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  try {
    return creator_(iid, out);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock) {
  if (lock)
    LockModule();
  else
    UnlockModule();
  return S_OK;
}

}  // namespace zt::com
