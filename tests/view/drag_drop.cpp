#include "drag_drop.h"

#include <shlobj.h>

#include <cstring>

namespace zt::test {

namespace {

// A minimal data object: one format, a fresh copy of its bytes per request
// (the target releases what it is given).
class OneFormatData final : public IDataObject {
public:
  OneFormatData(CLIPFORMAT format, std::string bytes) : format_(format), bytes_(std::move(bytes)) {}

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
      *out = static_cast<IDataObject*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }

  STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes_.size());
    if (!memory) return E_OUTOFMEMORY;
    std::memcpy(GlobalLock(memory), bytes_.data(), bytes_.size());
    GlobalUnlock(memory);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = memory;
    medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryGetData(FORMATETC* format) override {
    if (!format || format->cfFormat != format_ || !(format->tymed & TYMED_HGLOBAL)) return DV_E_FORMATETC;
    return S_OK;
  }
  STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    out->ptd = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
  ULONG refs_ = 0;
  CLIPFORMAT format_;
  std::string bytes_;
};

// Lets go of the button a few hundred milliseconds into the drag, holding
// the pointer where the drag began: other programs on the display may move
// it meanwhile.
class TimedDropSource final : public IDropSource {
public:
  explicit TimedDropSource(POINT at) : at_(at) {}
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropSource)) {
      *out = static_cast<IDropSource*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // lives on the caller's stack
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP QueryContinueDrag(BOOL escape, DWORD) override {
    if (escape) return DRAGDROP_S_CANCEL;
    SetCursorPos(at_.x, at_.y);
    return GetTickCount64() - start_ > 400 ? DRAGDROP_S_DROP : S_OK;
  }
  STDMETHODIMP GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

private:
  POINT at_;
  ULONGLONG start_ = GetTickCount64();
};

com::ComPtr<IDataObject> Make(CLIPFORMAT format, std::string bytes) {
  return com::ComPtr<IDataObject>(new OneFormatData(format, std::move(bytes)));
}

}  // namespace

com::ComPtr<IDataObject> FileListData(const std::vector<std::wstring>& paths) {
  std::wstring list;
  for (const std::wstring& path : paths) list += path + L'\0';
  list += L'\0';
  DROPFILES header = {};
  header.pFiles = sizeof(header);
  header.fWide = TRUE;
  std::string bytes(reinterpret_cast<const char*>(&header), sizeof(header));
  bytes.append(reinterpret_cast<const char*>(list.data()), list.size() * sizeof(wchar_t));
  return Make(CF_HDROP, std::move(bytes));
}

com::ComPtr<IDataObject> TextOnlyData(const std::wstring& text) {
  const std::wstring terminated = text + L'\0';
  return Make(CF_UNICODETEXT,
              std::string(reinterpret_cast<const char*>(terminated.data()), terminated.size() * sizeof(wchar_t)));
}

DWORD DropOn(HWND window, IDataObject* data, DWORD allowed) {
  RECT r = {};
  GetWindowRect(window, &r);
  const POINT at = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  SetCursorPos(at.x, at.y);
  // Above every other program's windows while the drag lasts (the tests
  // beside this one open dialogs of their own mid-screen), or the drop
  // lands on whichever window is on top there.
  const HWND top = GetAncestor(window, GA_ROOT);
  constexpr UINT keep = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
  SetWindowPos(top, HWND_TOPMOST, 0, 0, 0, 0, keep);
  TimedDropSource source(at);
  DWORD effect = DROPEFFECT_NONE;
  const HRESULT hr = DoDragDrop(data, &source, allowed, &effect);
  SetWindowPos(top, HWND_NOTOPMOST, 0, 0, 0, 0, keep);
  return hr == DRAGDROP_S_DROP ? effect : DROPEFFECT_NONE;
}

}  // namespace zt::test
