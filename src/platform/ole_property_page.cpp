#include "platform/ole_property_page.h"
#include "platform/boundary.h"

namespace zt::ole {
namespace {

LPOLESTR TaskText(const std::wstring& text) {
  size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
  if (copy) CopyMemory(copy, text.c_str(), bytes);
  return copy;
}

}  // namespace

PropertyPageImpl::~PropertyPageImpl() {
  if (dialog_) DestroyWindow(dialog_);
}

INT_PTR CALLBACK PropertyPageImpl::DialogProc(HWND dialog, UINT msg, WPARAM, LPARAM) {
  // The page has nothing to handle: the dialog manager does the rest.
  return msg == WM_INITDIALOG ? TRUE : FALSE;
}

HWND PropertyPageImpl::CreatePageDialog(HWND parent) {
  PropertyPageInfo info = PageInfo();
  return CreateDialogParamW(info.instance, MAKEINTRESOURCEW(info.dialog_id), parent, &DialogProc, 0);
}

STDMETHODIMP PropertyPageImpl::SetPageSite(IPropertyPageSite* site) {
  return win::ComBoundary([&]() -> HRESULT {
    site_ = com::ComPtr<IPropertyPageSite>(site);
    return S_OK;
  });
}

STDMETHODIMP PropertyPageImpl::Activate(HWND parent, LPCRECT rect, BOOL) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!rect) return E_POINTER;
    if (dialog_) return E_UNEXPECTED;  // already active
    dialog_ = CreatePageDialog(parent);
    if (!dialog_) return HRESULT_FROM_WIN32(GetLastError() ? GetLastError() : ERROR_RESOURCE_NAME_NOT_FOUND);
    MoveWindow(dialog_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
    return S_OK;
  });
}

STDMETHODIMP PropertyPageImpl::Deactivate() {
  return win::ComBoundary([&]() -> HRESULT {
    if (!dialog_) return E_UNEXPECTED;
    DestroyWindow(dialog_);
    dialog_ = nullptr;
    return S_OK;
  });
}

STDMETHODIMP PropertyPageImpl::GetPageInfo(PROPPAGEINFO* out) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!out) return E_POINTER;
    PropertyPageInfo info = PageInfo();
    // The page's size is its dialog's, in this display's pixels: measured
    // on a hidden copy under the desktop.
    HWND probe = CreatePageDialog(GetDesktopWindow());
    if (!probe) return E_FAIL;
    RECT r;
    GetWindowRect(probe, &r);
    DestroyWindow(probe);
    out->cb = sizeof *out;
    out->size.cx = r.right - r.left;
    out->size.cy = r.bottom - r.top;
    out->pszTitle = TaskText(info.title);
    out->pszDocString = TaskText(info.doc_string);
    out->pszHelpFile = TaskText(info.help_file);
    out->dwHelpContext = info.help_context;
    if (!out->pszTitle || !out->pszDocString || !out->pszHelpFile) {
      CoTaskMemFree(out->pszTitle);
      CoTaskMemFree(out->pszDocString);
      CoTaskMemFree(out->pszHelpFile);
      out->pszTitle = out->pszDocString = out->pszHelpFile = nullptr;
      return E_OUTOFMEMORY;
    }
    return S_OK;
  });
}

STDMETHODIMP PropertyPageImpl::SetObjects(ULONG count, IUnknown** objects) {
  return win::ComBoundary([&]() -> HRESULT {
    if (count > 0 && !objects) return E_POINTER;
    objects_.clear();
    for (ULONG i = 0; i < count; ++i) objects_.emplace_back(objects[i]);
    return S_OK;
  });
}

STDMETHODIMP PropertyPageImpl::Show(UINT cmd) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!dialog_) return E_UNEXPECTED;
    ShowWindow(dialog_, cmd);
    return S_OK;
  });
}

STDMETHODIMP PropertyPageImpl::Move(LPCRECT rect) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!rect) return E_POINTER;
    if (!dialog_) return E_UNEXPECTED;
    MoveWindow(dialog_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
    return S_OK;
  });
}

STDMETHODIMP PropertyPageImpl::TranslateAccelerator(MSG* msg) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!msg) return E_POINTER;
    return dialog_ && IsDialogMessageW(dialog_, msg) ? S_OK : S_FALSE;
  });
}

}  // namespace zt::ole
