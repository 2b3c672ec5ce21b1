#include "platform/persist_exchange.h"

#include <oleauto.h>

#include <cstring>

namespace zt::ole {

const wchar_t kContentsStream[] = L"Contents";

namespace {

// A saved text longer than this is taken for a damaged stream rather than
// an allocation to attempt.
constexpr std::uint32_t kMaxSavedText = 1u << 24;

}  // namespace

HRESULT StreamExchange::Bytes(void* data, ULONG size) {
  ULONG done = 0;
  HRESULT hr = loading_ ? stream_->Read(data, size, &done) : stream_->Write(data, size, &done);
  if (FAILED(hr)) return hr;
  if (done != size) return loading_ ? STG_E_READFAULT : STG_E_WRITEFAULT;
  return S_OK;
}

HRESULT StreamExchange::Long(const wchar_t*, std::int32_t& v) {
  unsigned char b[4];
  auto u = static_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) b[i] = static_cast<unsigned char>(u >> (8 * i));
  HRESULT hr = Bytes(b, 4);
  if (SUCCEEDED(hr) && loading_) {
    u = 0;
    for (int i = 0; i < 4; ++i) u |= static_cast<std::uint32_t>(b[i]) << (8 * i);
    v = static_cast<std::int32_t>(u);
  }
  return hr;
}

HRESULT StreamExchange::Short(const wchar_t*, std::int16_t& v) {
  unsigned char b[2];
  auto u = static_cast<std::uint16_t>(v);
  b[0] = static_cast<unsigned char>(u);
  b[1] = static_cast<unsigned char>(u >> 8);
  HRESULT hr = Bytes(b, 2);
  if (SUCCEEDED(hr) && loading_) v = static_cast<std::int16_t>(b[0] | (b[1] << 8));
  return hr;
}

HRESULT StreamExchange::Text(const wchar_t* name, std::u16string& v) {
  std::int32_t count = static_cast<std::int32_t>(v.size());
  HRESULT hr = Long(name, count);
  if (FAILED(hr)) return hr;
  if (!loading_) {
    std::u16string copy = v;  // units written little-endian on every host
    for (char16_t& c : copy) {
      unsigned char b[2] = {static_cast<unsigned char>(c), static_cast<unsigned char>(c >> 8)};
      std::memcpy(&c, b, 2);
    }
    return copy.empty() ? S_OK : Bytes(copy.data(), static_cast<ULONG>(copy.size() * 2));
  }
  if (static_cast<std::uint32_t>(count) > kMaxSavedText) return STG_E_DOCFILECORRUPT;
  std::u16string text(static_cast<size_t>(count), u'\0');
  if (count > 0) {
    hr = Bytes(text.data(), static_cast<ULONG>(count) * 2);
    if (FAILED(hr)) return hr;
    for (char16_t& c : text) {
      unsigned char b[2];
      std::memcpy(b, &c, 2);
      c = static_cast<char16_t>(b[0] | (b[1] << 8));
    }
  }
  v = std::move(text);
  return S_OK;
}

HRESULT BagExchange::Read(const wchar_t* name, VARTYPE vt, VARIANT* out) {
  VARIANT raw;
  VariantInit(&raw);
  HRESULT hr = bag_->Read(name, &raw, log_);
  if (FAILED(hr)) {
    VariantClear(&raw);
    return S_FALSE;  // absent: the caller keeps or defaults the value
  }
  hr = VariantChangeType(out, &raw, 0, vt);
  if (FAILED(hr) && vt != VT_BSTR) {
    // "True" and "False" stand for -1 and 0, as a script would write them.
    VARIANT b;
    VariantInit(&b);
    if (SUCCEEDED(VariantChangeType(&b, &raw, VARIANT_ALPHABOOL, VT_BOOL))) {
      hr = VariantChangeType(out, &b, 0, vt);
    }
    VariantClear(&b);
  }
  VariantClear(&raw);
  if (FAILED(hr) && log_) {
    EXCEPINFO ei = {};
    ei.scode = hr;
    std::wstring text = L"The saved value of ";
    text += name;
    text += L" cannot be read as ";
    text += vt == VT_I4 ? L"a long integer" : vt == VT_I2 ? L"a short integer" : L"text";
    ei.bstrDescription = SysAllocString(text.c_str());
    ei.bstrSource = SysAllocString(L"ZTFileUpload");
    log_->AddError(name, &ei);
    SysFreeString(ei.bstrDescription);
    SysFreeString(ei.bstrSource);
  }
  return FAILED(hr) ? hr : S_OK;
}

HRESULT BagExchange::Write(const wchar_t* name, VARIANT* value) { return bag_->Write(name, value); }

HRESULT BagExchange::Long(const wchar_t* name, std::int32_t& v) {
  VARIANT value;
  VariantInit(&value);
  if (!loading_) {
    value.vt = VT_I4;
    value.lVal = v;
    return Write(name, &value);
  }
  HRESULT hr = Read(name, VT_I4, &value);
  if (hr == S_OK) v = value.lVal;
  return hr;
}

HRESULT BagExchange::Short(const wchar_t* name, std::int16_t& v) {
  VARIANT value;
  VariantInit(&value);
  if (!loading_) {
    value.vt = VT_I2;
    value.iVal = v;
    return Write(name, &value);
  }
  HRESULT hr = Read(name, VT_I2, &value);
  if (hr == S_OK) v = value.iVal;
  return hr;
}

HRESULT BagExchange::Text(const wchar_t* name, std::u16string& v) {
  VARIANT value;
  VariantInit(&value);
  if (!loading_) {
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(v.data()), static_cast<UINT>(v.size()));
    if (!value.bstrVal && !v.empty()) return E_OUTOFMEMORY;
    HRESULT hr = Write(name, &value);
    VariantClear(&value);
    return hr;
  }
  HRESULT hr = Read(name, VT_BSTR, &value);
  if (hr == S_OK) {
    v.assign(reinterpret_cast<const char16_t*>(value.bstrVal), SysStringLen(value.bstrVal));
    VariantClear(&value);
  }
  return hr;
}

}  // namespace zt::ole
