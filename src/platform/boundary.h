#pragma once
// The module's edges: a COM method or a window procedure is called by code
// that is not ours and knows nothing of C++ exceptions, so none may leave
// through it. Each entry point runs its body through one of these, which
// turn an exception into the answer the caller understands.
#include <windows.h>

#include <new>

namespace zt::win {

// For a COM method: an allocation failure is E_OUTOFMEMORY, anything else
// E_UNEXPECTED.
template <typename Body>
HRESULT ComBoundary(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

// For a window procedure: a message whose handling threw gets fallback's
// answer (the default window procedure's, or the previous procedure's for a
// subclassed window).
template <typename Body, typename Fallback>
LRESULT WindowBoundary(Body&& body, Fallback&& fallback) noexcept {
  try {
    return body();
  } catch (...) {
  }
  try {
    return fallback();
  } catch (...) {
    return 0;
  }
}

}  // namespace zt::win
