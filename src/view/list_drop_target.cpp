#include "view/list_drop_target.h"
#include "platform/boundary.h"

#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/wide_text.h"
#include "view/file_list_view.h"

namespace zt::view {

namespace {

FORMATETC FileListFormat() { return {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

bool OffersFiles(IDataObject* data) {
  FORMATETC format = FileListFormat();
  return data && data->QueryGetData(&format) == S_OK;
}

// Every path of a dropped file list, in order and whole, however long.
std::vector<std::u16string> DroppedPaths(HDROP drop) {
  std::vector<std::u16string> paths;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    std::vector<wchar_t> path(length + 1);
    const UINT copied = DragQueryFileW(drop, i, path.data(), length + 1);
    if (copied > 0) paths.push_back(FromWide(path.data(), copied));
  }
  return paths;
}

// The file list of a drop, read while the medium is held.
std::vector<std::u16string> ReadFileList(IDataObject* data) {
  FORMATETC format = FileListFormat();
  STGMEDIUM medium = {};
  if (!data || data->GetData(&format, &medium) != S_OK) return {};
  std::vector<std::u16string> paths;
  if (medium.tymed == TYMED_HGLOBAL) {
    if (auto drop = static_cast<HDROP>(GlobalLock(medium.hGlobal))) {
      paths = DroppedPaths(drop);
      GlobalUnlock(medium.hGlobal);
    }
  }
  ReleaseStgMedium(&medium);
  return paths;
}

}  // namespace

void COleListBoxDropTarget::Register(CZTFileUploadListCtrl& view) {
  Revoke();
  if (!view.Window()) return;
  if (FAILED(RegisterDragDrop(view.Window(), this))) return;
  view_ = &view;
  window_ = view.Window();
}

void COleListBoxDropTarget::Revoke() {
  if (window_) RevokeDragDrop(window_);
  window_ = nullptr;
  view_ = nullptr;
  carriesFiles_ = false;
}

DWORD COleListBoxDropTarget::Answer(DWORD allowed) const {
  return carriesFiles_ && view_ && (allowed & DROPEFFECT_COPY) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
}

STDMETHODIMP COleListBoxDropTarget::DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!effect) return E_INVALIDARG;
    carriesFiles_ = OffersFiles(data);
    *effect = Answer(*effect);
    return S_OK;
  });
}

STDMETHODIMP COleListBoxDropTarget::DragOver(DWORD, POINTL, DWORD* effect) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!effect) return E_INVALIDARG;
    *effect = Answer(*effect);
    return S_OK;
  });
}

STDMETHODIMP COleListBoxDropTarget::DragLeave() {
  return win::ComBoundary([&]() -> HRESULT {
    carriesFiles_ = false;
    return S_OK;
  });
}

STDMETHODIMP COleListBoxDropTarget::Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!effect) return E_INVALIDARG;
    carriesFiles_ = false;
    const DWORD allowed = *effect;
    *effect = DROPEFFECT_NONE;
    if (!view_) return S_OK;
    view_->SetPendingDrop({});
    if (!(allowed & DROPEFFECT_COPY)) return S_OK;
    std::vector<std::u16string> paths = ReadFileList(data);
    if (paths.empty()) return S_OK;
    *effect = DROPEFFECT_COPY;
    // Enabling the window again makes its enable handler add the paths (and
    // report a failure) before the drop returns. The view may be replaced
    // from inside that handler: it is not touched after.
    HWND window = window_;
    view_->SetPendingDrop(std::move(paths));
    EnableWindow(window, FALSE);
    EnableWindow(window, TRUE);
    return S_OK;
  });
}

}  // namespace zt::view
