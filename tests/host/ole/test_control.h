// A control made of the embedding pieces and nothing else: it keeps the
// saved properties as they are and records what its window went through.
#pragma once

#include <windows.h>

#include <vector>

#include "platform/ole_control.h"
#include "platform/persist_properties.h"

namespace zt::ole::testing {

// {6A1F3C52-2E7B-4F0D-9C1A-5B2D7E8F9A01}
inline constexpr CLSID kTestControlId = {0x6a1f3c52, 0x2e7b, 0x4f0d, {0x9c, 0x1a, 0x5b, 0x2d, 0x7e, 0x8f, 0x9a, 0x01}};

class TestControl final : public OleControl {
 public:
  TestControl() = default;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = iid == IID_IUnknown ? static_cast<IOleObject*>(this) : QueryOleInterface(iid);
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }
  IUnknown* Unknown() { return static_cast<IOleObject*>(this); }

  // A property put as the control makes one: the value, then the flag.
  template <typename F>
  void Put(F change) {
    change(props_);
    SetModified(true);
  }
  const SavedProperties& Props() const { return props_; }

  std::vector<SIZE> resizes;
  std::vector<UINT> messages;
  HWND created = nullptr;

 protected:
  const CLSID& ControlClassId() const override { return kTestControlId; }
  HRESULT ExchangeProperties(PropertyExchange& px) override {
    SavedProperties copy = props_;
    HRESULT hr = ExchangeSavedProperties(px, copy);
    if (SUCCEEDED(hr) && px.Loading()) props_ = copy;
    return hr;
  }
  void InitNewProperties() override { ApplyLoadDefaults(props_); }
  bool IsModified() const override { return modified_; }
  void SetModified(bool modified) override { modified_ = modified; }
  bool OnWindowCreated(HWND window) override {
    created = window;
    return true;
  }
  void OnWindowResized(HWND, int width, int height) override { resizes.push_back(SIZE{width, height}); }
  bool OnWindowMessage(HWND, UINT msg, WPARAM, LPARAM, LRESULT*) override {
    messages.push_back(msg);
    return false;
  }

 private:
  ~TestControl() override = default;
  ULONG refs_ = 1;
  SavedProperties props_;
  bool modified_ = false;
};

}  // namespace zt::ole::testing
