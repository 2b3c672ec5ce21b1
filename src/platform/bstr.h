#pragma once
// BSTR and VARIANT owners, and the BSTR side of the text bridge.
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>
#include <utility>

namespace zt::com {

class Bstr {
public:
  Bstr() = default;
  // An empty b_ after construction means the allocation failed.
  explicit Bstr(std::u16string_view text);
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& o) noexcept : b_(std::exchange(o.b_, nullptr)) {}
  Bstr& operator=(Bstr&& o) noexcept {
    std::swap(b_, o.b_);
    return *this;
  }
  ~Bstr() { SysFreeString(b_); }

  BSTR Get() const { return b_; }
  BSTR Detach() { return std::exchange(b_, nullptr); }
  BSTR* Put() {
    SysFreeString(std::exchange(b_, nullptr));
    return &b_;
  }
  explicit operator bool() const { return b_ != nullptr; }

private:
  BSTR b_ = nullptr;
};

// A new BSTR holding text (embedded zeros kept); nullptr when memory ran out.
BSTR AllocBstr(std::u16string_view text);

// The text of a BSTR by its stored length; a null BSTR is empty.
std::u16string FromBstr(BSTR b);

class Variant {
public:
  Variant() { VariantInit(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { VariantClear(&v_); }
  VARIANT* Get() { return &v_; }
  const VARIANT* Get() const { return &v_; }
  VARIANT* operator->() { return &v_; }
  // Clears the value and hands out the storage for an out-parameter.
  VARIANT* Reset() {
    VariantClear(&v_);
    return &v_;
  }

private:
  VARIANT v_;
};

}  // namespace zt::com
