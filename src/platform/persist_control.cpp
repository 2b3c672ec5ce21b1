// OleControl: the three persistence interfaces over one exchange. The saved
// state is the version 1.0, the extent, then the control's properties.
#include "platform/ole_control.h"
#include "platform/boundary.h"

#include "platform/persist_exchange.h"

namespace zt::ole {
namespace {

constexpr std::int32_t kVersion = 0x00010000;  // 1.0: major in the high word

// The version and the extent, ahead of the control's own properties.
HRESULT ExchangeBase(PropertyExchange& px, SIZEL& extent) {
  std::int32_t version = kVersion;
  HRESULT hr = px.Long(L"_Version", version);
  if (FAILED(hr)) return hr;
  // A later major version has a layout this code cannot know.
  if (px.Loading() && hr == S_OK && (version >> 16) != (kVersion >> 16)) return STG_E_OLDDLL;
  std::int32_t cx = extent.cx, cy = extent.cy;
  if (FAILED(hr = px.Long(L"_ExtentX", cx)) || FAILED(hr = px.Long(L"_ExtentY", cy))) return hr;
  if (px.Loading()) {
    if (cx < 0 || cy < 0) return STG_E_DOCFILECORRUPT;
    extent.cx = cx;
    extent.cy = cy;
  }
  return S_OK;
}

}  // namespace

STDMETHODIMP OleControl::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = ControlClassId();
  return S_OK;
}

STDMETHODIMP OleControl::IsDirty() { return IsModified() ? S_OK : S_FALSE; }

STDMETHODIMP OleControl::InitNew() {
  return win::ComBoundary([&]() -> HRESULT {
    InitNewProperties();
    SetModified(false);
    return S_OK;
  });
}

HRESULT OleControl::LoadFrom(PropertyExchange& px) {
  SIZEL extent = extent_;
  HRESULT hr = ExchangeBase(px, extent);
  if (SUCCEEDED(hr)) hr = ExchangeProperties(px);
  if (FAILED(hr)) return hr;
  extent_ = extent;
  SetModified(false);
  return S_OK;
}

HRESULT OleControl::SaveTo(PropertyExchange& px) {
  HRESULT hr = ExchangeBase(px, extent_);
  return FAILED(hr) ? hr : ExchangeProperties(px);
}

HRESULT OleControl::LoadStream(IStream* stream) {
  if (!stream) return E_POINTER;
  StreamExchange px(stream, true);
  return LoadFrom(px);
}

HRESULT OleControl::SaveStream(IStream* stream) {
  if (!stream) return E_POINTER;
  StreamExchange px(stream, false);
  return SaveTo(px);
}

STDMETHODIMP OleControl::Load(LPSTREAM stream) {
  return win::ComBoundary([&]() -> HRESULT { return LoadStream(stream); });
}

STDMETHODIMP OleControl::Save(LPSTREAM stream, BOOL clear_dirty) {
  return win::ComBoundary([&]() -> HRESULT {
    HRESULT hr = SaveStream(stream);
    if (SUCCEEDED(hr) && clear_dirty) SetModified(false);
    return hr;
  });
}

STDMETHODIMP OleControl::GetSizeMax(ULARGE_INTEGER* size) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!size) return E_POINTER;
    SizeExchange px;
    HRESULT hr = ExchangeBase(px, extent_);
    if (SUCCEEDED(hr)) hr = ExchangeProperties(px);
    if (FAILED(hr)) return hr;
    size->QuadPart = px.Size();
    return S_OK;
  });
}

STDMETHODIMP OleControl::Load(IPropertyBag* bag, IErrorLog* log) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!bag) return E_POINTER;
    // Absent names take their load defaults inside the exchange.
    BagExchange px(bag, log, true);
    return LoadFrom(px);
  });
}

STDMETHODIMP OleControl::Save(IPropertyBag* bag, BOOL clear_dirty, BOOL) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!bag) return E_POINTER;
    BagExchange px(bag, nullptr, false);
    HRESULT hr = SaveTo(px);
    if (SUCCEEDED(hr) && clear_dirty) SetModified(false);
    return hr;
  });
}

STDMETHODIMP OleControl::InitNew(IStorage* storage) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!storage) return E_POINTER;
    return InitNew();
  });
}

STDMETHODIMP OleControl::Load(IStorage* storage) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!storage) return E_POINTER;
    com::ComPtr<IStream> stream;
    HRESULT hr = storage->OpenStream(kContentsStream, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.Put());
    return FAILED(hr) ? hr : LoadStream(stream.Get());
  });
}

STDMETHODIMP OleControl::Save(IStorage* storage, BOOL) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!storage) return E_POINTER;
    com::ComPtr<IStream> stream;
    HRESULT hr = storage->CreateStream(kContentsStream, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
                                       stream.Put());
    if (FAILED(hr)) return hr;
    hr = SaveStream(stream.Get());
    if (SUCCEEDED(hr)) SetModified(false);  // a storage save always clears the flag
    return hr;
  });
}

}  // namespace zt::ole
