// One exchange of a control's saved properties, in either direction, over
// the three forms a container keeps them in: a stream (by position), a
// property bag (by name, values coerced from whatever the bag holds, as a
// page's <param> strings) and a storage (a stream inside it).
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <objidl.h>

#include <cstdint>
#include <string>

namespace zt::ole {

class PropertyExchange {
 public:
  virtual ~PropertyExchange() = default;
  virtual bool Loading() const = 0;
  // Whether values are found by name. A positional layout is fixed by what
  // earlier saves hold, so properties added later travel by name only.
  virtual bool Named() const { return false; }
  // Saving writes v under name. Loading reads it into v: S_OK when read,
  // S_FALSE when the saved state has no such value (v is left alone), a
  // failure when the value is there but unusable.
  virtual HRESULT Long(const wchar_t* name, std::int32_t& v) = 0;
  virtual HRESULT Short(const wchar_t* name, std::int16_t& v) = 0;
  virtual HRESULT Text(const wchar_t* name, std::u16string& v) = 0;
};

// Positional binary form: 32-bit and 16-bit little-endian integers; text as
// a 32-bit count of UTF-16 units and the units. Nothing is ever absent.
class StreamExchange final : public PropertyExchange {
 public:
  StreamExchange(IStream* stream, bool loading) : stream_(stream), loading_(loading) {}
  bool Loading() const override { return loading_; }
  HRESULT Long(const wchar_t* name, std::int32_t& v) override;
  HRESULT Short(const wchar_t* name, std::int16_t& v) override;
  HRESULT Text(const wchar_t* name, std::u16string& v) override;

 private:
  HRESULT Bytes(void* data, ULONG size);
  IStream* stream_;
  bool loading_;
};

// Counts the bytes a StreamExchange save would write (GetSizeMax).
class SizeExchange final : public PropertyExchange {
 public:
  bool Loading() const override { return false; }
  HRESULT Long(const wchar_t*, std::int32_t&) override { size_ += 4; return S_OK; }
  HRESULT Short(const wchar_t*, std::int16_t&) override { size_ += 2; return S_OK; }
  HRESULT Text(const wchar_t*, std::u16string& v) override {
    size_ += 4 + 2 * static_cast<std::uint64_t>(v.size());
    return S_OK;
  }
  std::uint64_t Size() const { return size_; }

 private:
  std::uint64_t size_ = 0;
};

// Named form. On load every value is coerced to the property's type;
// numbers also accept "True"/"False". A value that cannot be coerced fails
// the exchange and is described to the error log, when there is one.
class BagExchange final : public PropertyExchange {
 public:
  BagExchange(IPropertyBag* bag, IErrorLog* log, bool loading) : bag_(bag), log_(log), loading_(loading) {}
  bool Loading() const override { return loading_; }
  bool Named() const override { return true; }
  HRESULT Long(const wchar_t* name, std::int32_t& v) override;
  HRESULT Short(const wchar_t* name, std::int16_t& v) override;
  HRESULT Text(const wchar_t* name, std::u16string& v) override;

 private:
  // Reads name coerced to vt into out (VT_EMPTY when absent).
  HRESULT Read(const wchar_t* name, VARTYPE vt, VARIANT* out);
  HRESULT Write(const wchar_t* name, VARIANT* value);
  IPropertyBag* bag_;
  IErrorLog* log_;
  bool loading_;
};

// The stream a storage keeps the saved properties in.
extern const wchar_t kContentsStream[];

}  // namespace zt::ole
